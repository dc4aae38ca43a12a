#include "launcher/settings.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstddef>
#include <fstream>
#include <iostream>

#include "common/whole_file.h"

namespace tavelund {
namespace {

// "DefaultSetting.new-0f3a9c1e7b2d4856" while it is being written; never the
// old fixed "DefaultSetting.new", where a planted link once took the save.
constexpr TemporaryNameForm kNewSettingsName{".new-", 16, "0123456789abcdef", ""};

struct FieldKey {
  const char* name;
  std::string LauncherSettings::*field;
};

// The file's member order, which is also the order of the run options.
constexpr FieldKey kFields[] = {
    {"BoxReverse", &LauncherSettings::BoxReverse},
    {"DataExpand", &LauncherSettings::DataExpand},
    {"ShowLines", &LauncherSettings::ShowLines},
    {"FigureLength", &LauncherSettings::FigureLength},
    {"ScrollBackCounts", &LauncherSettings::ScrollBackCounts},
};

bool isBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// An empty text, white space or a zero byte would change how the viewer's
// command line splits into arguments.
bool usableFieldText(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c == '\0' || isBlankByte(c)) return false;
  }
  return true;
}

std::string cutAtZero(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace

LauncherSettings& launcherSettings() {
  static LauncherSettings settings;
  return settings;
}

std::string encodeSettingsText(const LauncherSettings& settings) {
  rapidjson::Document document;
  document.SetObject();
  auto& allocator = document.GetAllocator();
  for (const FieldKey& key : kFields) {
    const std::string text = cutAtZero(settings.*key.field);
    document.AddMember(
        rapidjson::StringRef(key.name),
        rapidjson::Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator),
        allocator);
  }
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  document.Accept(writer);

  std::string encoded;
  CryptoPP::StringSource source(
      reinterpret_cast<const CryptoPP::byte*>(buffer.GetString()), buffer.GetSize(), true,
      new CryptoPP::Base64Encoder(new CryptoPP::StringSink(encoded), /*insertLineBreaks=*/false));
  return encoded;
}

void decodeSettingsText(std::string_view fileText, LauncherSettings& settings) {
  // The decoder skips everything outside the Base64 alphabet, so line breaks,
  // blanks and missing padding are all fine.
  std::string json;
  CryptoPP::StringSource source(reinterpret_cast<const CryptoPP::byte*>(fileText.data()),
                                fileText.size(), true,
                                new CryptoPP::Base64Decoder(new CryptoPP::StringSink(json)));
  json.resize(json.find('\0') == std::string::npos ? json.size() : json.find('\0'));

  // Iterative parsing: a deeply nested hand-made file must not exhaust the stack.
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
  if (document.HasParseError() || !document.IsObject()) return;

  const rapidjson::Document& root = document;
  for (const FieldKey& key : kFields) {
    auto member = root.FindMember(key.name);  // the first of duplicated names
    if (member == root.MemberEnd() || !member->value.IsString()) continue;
    std::string text(member->value.GetString(), member->value.GetStringLength());
    if (!usableFieldText(text)) continue;
    settings.*key.field = std::move(text);
  }
}

void LoadSettings(LauncherSettings& settings, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return;
  // The real file is about 150 bytes; anything past the limit (a device or a
  // runaway file put there by mistake) is not a settings file.
  std::string text(kSettingsFileLimit + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || static_cast<std::size_t>(in.gcount()) > kSettingsFileLimit) return;
  text.resize(static_cast<std::size_t>(in.gcount()));
  decodeSettingsText(text, settings);
}

bool SaveSettings(const LauncherSettings& settings, const std::filesystem::path& file) {
  return writeWholeFile(file, encodeSettingsText(settings), kNewSettingsName);
}

std::string BuildRunOptions(const LauncherSettings& settings) {
  std::string options = "-b " + settings.BoxReverse + " ";
  if (settings.DataExpand == "TRUE") options += "-e ";
  options += "-s " + settings.ShowLines + " ";
  options += "-f " + settings.FigureLength + " ";
  options += "-r " + settings.ScrollBackCounts + " ";
  return options;
}

bool StartChart(const LauncherSettings& settings) { return StartChart(settings, std::cerr); }

}  // namespace tavelund

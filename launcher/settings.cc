#include "launcher/settings.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <optional>

#include "common/grid_scale.h"
#include "common/whole_file.h"

namespace tavelund {
namespace {

// "DefaultSetting.new-0f3a9c1e7b2d4856" while it is being written; never the
// old fixed "DefaultSetting.new", where a planted link once took the save.
constexpr TemporaryNameForm kNewSettingsName{".new-", 16, "0123456789abcdef", ""};

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

// A percent longer than this is no box anybody means.
constexpr std::size_t kBoxPercentTextLimit = 20;

// The percent of a valid box text, 0 < P <= 50; nothing for any other text.
std::optional<double> boxPercentValue(std::string_view text) {
  if (text.empty() || text.size() > kBoxPercentTextLimit) return std::nullopt;
  bool digit = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  // from_chars does not take ".5"; the viewer does, so read it as "0.5".
  const std::string full = text.front() == '.' ? "0" + std::string(text) : std::string(text);
  double percent = 0;
  const auto result = std::from_chars(full.data(), full.data() + full.size(), percent);
  if (result.ec != std::errc() || result.ptr != full.data() + full.size()) return std::nullopt;
  if (!(percent > 0 && percent <= 50)) return std::nullopt;
  return percent;
}

struct FieldKey {
  const char* name;
  std::string LauncherSettings::*field;
  // Whether a text from the file may replace the field.
  bool (*loadable)(std::string_view text);
  // Written only when different from this; nullptr: always written.
  const char* omittedDefault;
};

// The file's member order, which is also the order of the run options. The
// two box members came later: a file without them is what older launchers
// wrote, and those launchers pass over members they do not know.
constexpr FieldKey kFields[] = {
    {"BoxReverse", &LauncherSettings::BoxReverse, usableFieldText, nullptr},
    {"DataExpand", &LauncherSettings::DataExpand, usableFieldText, nullptr},
    {"ShowLines", &LauncherSettings::ShowLines, usableFieldText, nullptr},
    {"FigureLength", &LauncherSettings::FigureLength, usableFieldText, nullptr},
    {"ScrollBackCounts", &LauncherSettings::ScrollBackCounts, usableFieldText, nullptr},
    {"BoxPercent", &LauncherSettings::BoxPercent, isBoxPercentText, kDefaultBoxPercent},
    {"GridScale", &LauncherSettings::GridScale, isGridScaleText, kDefaultGridScale},
};

}  // namespace

bool isBoxPercentText(std::string_view text) { return boxPercentValue(text).has_value(); }

bool isGridScaleText(std::string_view text) {
  if (!usableFieldText(text)) return false;
  std::string reason;
  return parseGridScale(text, reason).has_value();
}

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
    if (key.omittedDefault && text == key.omittedDefault) continue;
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
    if (!key.loadable(text)) continue;
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
  // The box options follow the others, so that the text with the defaults
  // stays exactly the one older launchers pass.
  if (const auto percent = boxPercentValue(settings.BoxPercent); percent && *percent != 1) {
    options += "-p " + settings.BoxPercent + " ";
  }
  if (!settings.GridScale.empty()) options += "-g " + settings.GridScale + " ";
  return options;
}

bool StartChart(const LauncherSettings& settings) { return StartChart(settings, std::cerr); }

}  // namespace tavelund

#include "tools/signal_lines.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>

#include "common/number_text.h"
#include "common/time_span_label.h"

namespace tavelund::signals {
namespace {

bool controlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

std::string csvField(std::string_view text) {
  std::string field;
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (controlByte(byte)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      field += escaped;
      continue;
    }
    if (c == ',') quote = true;
    if (c == '"') {
      quote = true;
      field += '"';
    }
    field += c;
  }
  return quote ? '"' + field + '"' : field;
}

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is
// none (a stray byte, an overlong form, a surrogate, beyond U+10FFFF, cut).
size_t utf8Length(std::string_view text) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xBF) return 0;
  }
  return length;
}

std::string validUtf8(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const size_t length = utf8Length(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace

std::string csvHeader() { return "time,symbol,timeframe,column,side,kind,price\n"; }

std::string timeFrameText(int timeFrame) {
  for (const TimeSpan& span : labelledTimeSpans()) {
    if (span.code == timeFrame) return std::string(span.label);
  }
  return std::to_string(timeFrame);
}

std::string csvLine(const analysis::Signal& signal, const SignalPlace& place) {
  return csvField(signal.time) + ',' + csvField(place.symbol) + ',' +
         csvField(timeFrameText(place.timeFrame)) + ',' + std::to_string(signal.columnNumber) +
         ',' + csvField(analysis::sideName(signal.side)) + ',' +
         csvField(analysis::kindName(signal.kind)) + ',' + fixedText(signal.price, place.digits) +
         '\n';
}

std::string jsonLine(const analysis::Signal& signal, const SignalPlace& place) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> out(buffer);
  const auto text = [&](const char* key, std::string_view value) {
    out.Key(key);
    const std::string valid = validUtf8(value);
    out.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
  };
  out.StartObject();
  text("time", signal.time);
  text("symbol", place.symbol);
  text("timeframe", timeFrameText(place.timeFrame));
  out.Key("column");
  out.Int(signal.columnNumber);
  text("side", analysis::sideName(signal.side));
  text("kind", analysis::kindName(signal.kind));
  out.Key("price");
  // The price as the CSV gives it: a JSON number with the chart's decimals.
  const std::string price = fixedText(signal.price, place.digits);
  out.RawValue(price.data(), price.size(), rapidjson::kNumberType);
  out.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + '\n';
}

std::vector<std::pair<std::string, std::string>> signalEnvironment(const analysis::Signal& signal,
                                                                   const SignalPlace& place) {
  return {
      {"TICKWELL_SYMBOL", std::string(place.symbol)},
      {"TICKWELL_TIMEFRAME", timeFrameText(place.timeFrame)},
      {"TICKWELL_SIDE", std::string(analysis::sideName(signal.side))},
      {"TICKWELL_KIND", std::string(analysis::kindName(signal.kind))},
      {"TICKWELL_PRICE", fixedText(signal.price, place.digits)},
      {"TICKWELL_TIME", signal.time},
  };
}

}  // namespace tavelund::signals

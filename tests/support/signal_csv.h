#pragma once
// Test support: tickwell-signals' CSV lines read back by the plain rules,
// one byte at a time: fields split at commas outside double quotes, a
// doubled quote inside quotes is one quote, "\xNN" is the byte NN. And the
// records of tests/tools/signal_recorder.
#include <string>
#include <string_view>
#include <vector>

namespace tavelund::testing {

// The fields of one line (without its line end); empty when the quotes are
// unbalanced.
inline std::vector<std::string> csvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  if (quoted) return {};
  for (std::string& field : fields) {
    std::string bytes;
    for (size_t i = 0; i < field.size(); ++i) {
      if (field.compare(i, 2, "\\x") == 0 && i + 4 <= field.size()) {
        bytes += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        bytes += field[i];
      }
    }
    field = bytes;
  }
  return fields;
}

// The recorder's runs, each as its lines between "run" and "end".
inline std::vector<std::vector<std::string>> recorderRuns(std::string_view text) {
  std::vector<std::vector<std::string>> runs;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line(text.substr(start, end - start));
    if (line == "run")
      runs.emplace_back();
    else if (line != "end" && !runs.empty())
      runs.back().push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return runs;
}

}  // namespace tavelund::testing

#pragma once
// Test support: a file's whole content as one text (empty when it cannot
// be read), and a text's lines. The file is closed again before the call
// returns, as Windows keeps an open file from being removed.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tavelund::testing {

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The same with every CR left out: what a program of the Windows build
// writes with CR LF line ends reads as on Linux.
inline std::string fileTextWithoutCr(const std::filesystem::path& path) {
  std::string text = fileText(path);
  std::erase(text, '\r');
  return text;
}

// A text's lines, without their line ends.
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tavelund::testing

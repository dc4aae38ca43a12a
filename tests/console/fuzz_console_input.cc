// Untrusted bytes into the viewer's input paths: terminal key bytes (in
// pieces, as reads cut them), a command line, and published line text for
// the CSV save's rows and excerpt.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_log.h"
#include "console/keys.h"
#include "console/options.h"
#include "engine/csv_save.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Keys: cut the bytes at every NUL into separate reads.
  tavelund::KeyDecoder decoder;
  size_t start = 0;
  for (size_t at = 0; at <= bytes.size(); ++at) {
    if (at == bytes.size() || bytes[at] == '\0') {
      tavelund::KeySet down;
      decoder.feed(bytes.substr(start, at - start), down);
      (void)tavelund::keyboardCommand(down);
      start = at + 1;
    }
  }

  // Command line: words split at newlines.
  std::vector<std::string> words = {"viewer"};
  std::string word;
  for (char c : bytes) {
    if (c == '\n') {
      words.push_back(word);
      word.clear();
    } else if (c != '\0') {
      word += c;
    }
  }
  words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  std::ostringstream err;
  (void)tavelund::parseOptions(static_cast<int>(words.size()), argv.data(), err);

  // Published text.
  (void)tavelund::csvContent(bytes);
  tavelund::runLog().clear();
  tavelund::logLineExcerpt(bytes);
  tavelund::runLog().clear();
  return 0;
}

#include "tools/command_line.h"

#include <getopt.h>

#include <vector>

namespace tavelund {
namespace {

// Values that getopt_long returns for long names without a letter: above
// every char.
constexpr int kLongOnly = 0x100;

}  // namespace

std::string scanCommandLine(int argc, char** argv, std::span<const CommandOption> options,
                            const CommandLineHandlers& handlers,
                            std::vector<std::string>& operands) {
  // ':' first: a missing value is told apart from an unknown option, and
  // getopt_long prints nothing itself; '-': operands come back in place.
  std::string letters = "-:";
  std::vector<option> longOptions;
  for (size_t i = 0; i < options.size(); ++i) {
    const CommandOption& o = options[i];
    const int code =
        o.letter ? static_cast<unsigned char>(o.letter) : kLongOnly + static_cast<int>(i);
    if (o.letter) {
      letters += o.letter;
      if (o.takesValue) letters += ':';
    }
    if (o.name)
      longOptions.push_back(
          {o.name, o.takesValue ? required_argument : no_argument, nullptr, code});
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});
  auto byCode = [&](int code) -> size_t {
    for (size_t i = 0; i < options.size(); ++i) {
      const CommandOption& o = options[i];
      if ((o.letter && static_cast<unsigned char>(o.letter) == code) ||
          (!o.letter && code == kLongOnly + static_cast<int>(i)))
        return i;
    }
    return options.size();
  };
  // The scanner may look at argv[argc], which must be null: a copy makes
  // sure of it whatever the caller passed.
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  argv = args.data();
  // A fresh scan (both C libraries start over at 0).
  optind = 0;
  opterr = 0;
  int code;
  while ((code = getopt_long(argc, argv, letters.c_str(), longOptions.data(), nullptr)) != -1) {
    std::string error;
    if (code == 1) {
      operands.emplace_back(optarg);
      continue;
    }
    // The element just read: what the user wrote.
    const std::string_view given = argv[optind - 1] ? argv[optind - 1] : "";
    if (code == '?') {
      error = handlers.unknown(optopt && given.size() > 1 && given[1] != '-'
                                   ? std::string("-") + static_cast<char>(optopt)
                                   : std::string(given));
    } else if (code == ':') {
      const size_t at = byCode(optopt ? optopt : 0);
      error = at < options.size() ? handlers.option(at, nullptr) : handlers.unknown(given);
    } else {
      error = handlers.option(byCode(code), optarg);
    }
    if (!error.empty()) return error;
  }
  for (int i = optind; i < argc; ++i) operands.emplace_back(argv[i]);
  return {};
}

}  // namespace tavelund

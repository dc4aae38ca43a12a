#pragma once
// The command lines of the tools, read by one scanner on getopt_long (which
// the C libraries of both targets have): "--name VALUE", "--name=VALUE",
// "-x VALUE", "-xVALUE", letters grouped, operands anywhere, "--" ending
// the options.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavelund {

struct CommandOption {
  const char* name;  // the long name without "--", or null for a letter only
  char letter;       // the short letter, or 0 for a long name only
  bool takesValue;
};

struct CommandLineHandlers {
  // One option of the table (by its position) with its value (null when it
  // takes none, or when its value is missing: the handler says what it
  // needs); an empty text takes it, any other text is the error.
  std::function<std::string(size_t option, const char* value)> option;
  // The error text for an option the table lacks, as it was given.
  std::function<std::string(std::string_view given)> unknown;
};

// Reads argv; the operands (all else) in order into `operands`. Returns the
// first error text, or an empty one. Not for two threads at once (the C
// library's scanner keeps its state in globals).
std::string scanCommandLine(int argc, char** argv, std::span<const CommandOption> options,
                            const CommandLineHandlers& handlers,
                            std::vector<std::string>& operands);

}  // namespace tavelund

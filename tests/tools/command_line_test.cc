// The tools' one command-line reader: the forms of options and values it
// takes, the operands it keeps in order, and the errors it hands back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/command_line.h"

namespace tavelund {
namespace {

constexpr CommandOption kOptions[] = {
    {nullptr, 'b', true}, {nullptr, 'e', false}, {"offset", 0, true}, {"json", 0, false}};

// What the reader made of `args`: each option as "name=value" (or
// "name!" without one), the operands, then the error.
std::string scanned(std::vector<const char*> args) {
  args.insert(args.begin(), "tool");
  std::string seen;
  CommandLineHandlers handlers;
  handlers.option = [&](size_t option, const char* value) -> std::string {
    const CommandOption& o = kOptions[option];
    const std::string name = o.name ? o.name : std::string(1, o.letter);
    if (o.takesValue && !value) return name + " needs a value";
    seen += name + (value ? "=" + std::string(value) : "!") + " ";
    return {};
  };
  handlers.unknown = [](std::string_view given) { return "unknown " + std::string(given); };
  std::vector<std::string> operands;
  const std::string error = scanCommandLine(static_cast<int>(args.size()),
                                            const_cast<char**>(args.data()), kOptions, handlers,
                                            operands);
  for (const std::string& operand : operands) seen += "[" + operand + "] ";
  return seen + error;
}

TEST(CommandLine, FormsOperandsAndErrors) {
  struct Case {
    std::vector<const char*> args;
    const char* seen;
  };
  const Case cases[] = {
      {{"-b", "4", "a.csv"}, "b=4 [a.csv] "},
      {{"-b4", "-e"}, "b=4 e! "},
      {{"-eb", "5"}, "e! b=5 "},
      {{"-b", "-1"}, "b=-1 "},  // a value may start with a minus
      {{"x", "--offset", "30", "y"}, "offset=30 [x] [y] "},
      {{"--offset=7", "--json"}, "offset=7 json! "},
      {{"--", "-b", "--json"}, "[-b] [--json] "},
      {{"a", "-b"}, "[a] b needs a value"},
      {{"--offset"}, "offset needs a value"},
      {{"--zoom", "a"}, "unknown --zoom"},
      {{"-x"}, "unknown -x"},
      {{"-ex"}, "e! unknown -x"},
  };
  for (const Case& c : cases) EXPECT_EQ(scanned(c.args), c.seen) << c.args.size();
  // Each scan starts afresh.
  EXPECT_EQ(scanned({"-b", "3"}), "b=3 ");
}

}  // namespace
}  // namespace tavelund

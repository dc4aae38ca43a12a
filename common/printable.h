#pragma once
// Outside bytes made safe for a terminal or a log: every byte outside
// printable ASCII is written as \xNN, so escape sequences from a file or a
// channel cannot act on the terminal, and binary junk stays readable.
#include <string>
#include <string_view>

namespace tavelund {

void appendPrintable(std::string& out, std::string_view text);
std::string printable(std::string_view text);

}  // namespace tavelund

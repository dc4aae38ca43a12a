#pragma once
// What tickwell-signals writes for one signal: a CSV line, a JSON line, and
// the environment of the program that --exec runs. The symbol and the
// minute texts come from the producer, outside input: no byte of theirs can
// break a line or end a field early, and the program gets them unchanged.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/patterns.h"

namespace tavelund::signals {

// Where a signal was seen: the channel's symbol and time-frame code, and the
// chart's decimals for the price.
struct SignalPlace {
  std::string_view symbol;
  int timeFrame = 0;
  int digits = 5;
};

// "time,symbol,timeframe,column,side,kind,price" and a line end.
std::string csvHeader();

// One CSV line with its line end. A text field has every byte below 0x20
// and 0x7F written as \xNN, and is put in double quotes (a double quote in it
// doubled) when it holds a comma, a double quote, or starts or ends with a
// space; other bytes stay as they are.
std::string csvLine(const analysis::Signal& signal, const SignalPlace& place);

// One JSON object on one line with its line end: the CSV's fields, column
// and price as numbers (the price with the chart's decimals). A byte
// sequence that is not UTF-8 becomes U+FFFD.
std::string jsonLine(const analysis::Signal& signal, const SignalPlace& place);

// The time frame as the tools label it (H1, D1, ...), or its code for one
// without a label.
std::string timeFrameText(int timeFrame);

// TICKWELL_SYMBOL, TICKWELL_TIMEFRAME, TICKWELL_SIDE, TICKWELL_KIND,
// TICKWELL_PRICE and TICKWELL_TIME with their values, the texts exactly as
// the producer wrote them.
std::vector<std::pair<std::string, std::string>> signalEnvironment(const analysis::Signal& signal,
                                                                   const SignalPlace& place);

}  // namespace tavelund::signals

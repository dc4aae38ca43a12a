#include "common/time_span_label.h"

namespace tavelund {
namespace {

constexpr TimeSpan kTimeSpans[] = {
    {0, "CURRENT"}, {1, "M1"},     {2, "M2"},      {3, "M3"},     {4, "M4"},     {5, "M5"},
    {6, "M6"},      {10, "M10"},   {12, "M12"},    {15, "M15"},   {30, "M30"},   {16385, "H1"},
    {16386, "H2"},  {16387, "H3"}, {16388, "H4"},  {16390, "H6"}, {16392, "H8"}, {16396, "H12"},
    {16408, "D1"},  {32769, "W1"}, {49153, "MN1"},
};

}  // namespace

std::string timeSpanLabel(int code) {
  for (const TimeSpan& span : kTimeSpans) {
    if (span.code == code) return std::string(span.label);
  }
  return "NODATA";
}

std::span<const TimeSpan> labelledTimeSpans() { return kTimeSpans; }

}  // namespace tavelund

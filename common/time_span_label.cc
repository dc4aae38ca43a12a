#include "common/time_span_label.h"

namespace tavelund {

std::string timeSpanLabel(int code) {
  switch (code) {
    case 0:
      return "CURRENT";
    case 1:
      return "M1";
    case 2:
      return "M2";
    case 3:
      return "M3";
    case 4:
      return "M4";
    case 5:
      return "M5";
    case 6:
      return "M6";
    case 10:
      return "M10";
    case 12:
      return "M12";
    case 15:
      return "M15";
    case 30:
      return "M30";
    case 16385:
      return "H1";
    case 16386:
      return "H2";
    case 16387:
      return "H3";
    case 16388:
      return "H4";
    case 16390:
      return "H6";
    case 16392:
      return "H8";
    case 16396:
      return "H12";
    case 16408:
      return "D1";
    case 32769:
      return "W1";
    case 49153:
      return "MN1";
    default:
      return "NODATA";
  }
}

}  // namespace tavelund

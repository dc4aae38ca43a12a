// The import block of an MQL5 program, bound to the real link library the
// way the terminal binds a 64-bit C DLL: a uchar array goes as a pointer to
// its first element, an int reference as a pointer, a string as a pointer
// to its UTF-16 text, everything else by value. Each call is noted for the tests.
//
// A declaration of the block that no definition here matches fails the
// link; the block is checked against link/tickwell.h by mt5_import_block_test.
#include <algorithm>
#include <string>

#include "link/tickwell.h"
#include "tests/mt5/standin/mql5.h"

namespace {

// The library reads up to the terminating zero; the terminal would hand it
// the array's memory and nothing behind it.
const char* dllText(const MqlArray<uchar>& text) {
  const uchar* begin = text.data();
  if (std::find(begin, begin + text.size(), uchar{0}) == begin + text.size()) {
    mql5standin::fatal("a text for tickwell.dll has no terminating zero");
  }
  return reinterpret_cast<const char*>(begin);
}

}  // namespace

namespace mql5_import {

bool preInitSendticksMT5() {
  mql5standin::noteImport("preInitSendticksMT5");
  return ::preInitSendticksMT5();
}

bool initSendticksMT5() {
  mql5standin::noteImport("initSendticksMT5");
  return ::initSendticksMT5();
}

bool deinitSendticksMT5() {
  mql5standin::noteImport("deinitSendticksMT5");
  return ::deinitSendticksMT5();
}

bool checkSendticksMT5(string mappingName) {
  mql5standin::noteImport("checkSendticksMT5(" + mappingName + ")");
  // The terminal hands a string over as UTF-16; the names are ASCII.
  const std::wstring wide(mappingName.begin(), mappingName.end());
  return ::checkSendticksMT5(wide.c_str());
}

int getSendCheckMT5() {
  mql5standin::noteImport("getSendCheckMT5");
  return ::getSendCheckMT5();
}

int setsendcheckMT5(int& value) {
  mql5standin::noteImport("setsendcheckMT5(" + std::to_string(value) + ")");
  return ::setsendcheckMT5(&value);
}

int setsendtimeNowMT5() {
  mql5standin::noteImport("setsendtimeNowMT5");
  return ::setsendtimeNowMT5();
}

int settimespanMT5(int& value) {
  mql5standin::noteImport("settimespanMT5(" + std::to_string(value) + ")");
  return ::settimespanMT5(&value);
}

int setsymbolcMT5(MqlArray<uchar>& text) {
  const char* bytes = dllText(text);
  mql5standin::noteImport("setsymbolcMT5(" + std::string(bytes) + ")");
  return ::setsymbolcMT5(bytes);
}

void lineSendTimeLineMT5(int year, int month, int day, int hour, int minute, int second,
                         int millisecond, double open, double high, double low, double close) {
  mql5standin::noteImport("lineSendTimeLineMT5");
  ::lineSendTimeLineMT5(year, month, day, hour, minute, second, millisecond, open, high, low,
                        close);
}

int completeSendticksMT5() {
  mql5standin::noteImport("completeSendticksMT5");
  return ::completeSendticksMT5();
}

}  // namespace mql5_import

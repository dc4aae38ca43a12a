#pragma once
// Included first by the C++ translation of an MQL5 program (mq5_to_cpp.cmake)
// and by nothing else: the language words that only such a program uses.
#include "tests/mt5/standin/mql5.h"

// An input is an ordinary global here; the stand-in terminal sets it before
// OnInit, as the terminal's input dialog would.
#define input

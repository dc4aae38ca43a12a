#pragma once
// What the C++ build of TickwellPublisher.mq5 defines, for the stand-in
// terminal and the tests. A name that drifts from the program fails the link.
#include "tests/mt5/standin/mql5.h"

int OnInit();
void OnTimer();
void OnDeinit(const int reason);

extern int HistoryBars;
extern int TimerMilliseconds;
extern bool PublishOnNewBar;
extern bool ExportBarsCsv;

int PriceBytes(double price);
int BarsThatFit(const MqlArray<MqlRates>& rates, int count);

// The import block as the program declares it, called as the program calls it.
namespace mql5_import {
int setsymbolcMT5(MqlArray<uchar>& text);
}

//+------------------------------------------------------------------+
//| TickwellPublisher.mq5                                            |
//| Publishes the bars of its chart to the Tavelund P&F viewer       |
//| (ConsoleTavelundPF) through tickwell.dll.                        |
//|                                                                  |
//| Install: tickwell.dll into MQL5\Libraries, this file into        |
//| MQL5\Experts, compile it in MetaEditor, attach it to the chart   |
//| of the symbol and period to watch with "Allow DLL imports"       |
//| ticked, then start the viewer.                                   |
//+------------------------------------------------------------------+
#property copyright   "Tavelund P&F"
#property version     "0.1"
#property description "Publishes this chart's bars to the Tavelund P&F viewer through tickwell.dll"

// A 64-bit C library: a narrow text goes as a zero-terminated uchar array,
// an int pointer as an int reference, bool is one byte.
#import "tickwell.dll"
bool preInitSendticksMT5(void);
bool initSendticksMT5(void);
bool deinitSendticksMT5(void);
int  getSendCheckMT5(void);
int  setsendcheckMT5(int &value);
int  setsendtimeNowMT5(void);
int  settimespanMT5(int &value);
int  setsymbolcMT5(uchar &text[]);
void lineSendTimeLineMT5(int year, int month, int day, int hour, int minute, int second,
                         int millisecond, double open, double high, double low, double close);
int  completeSendticksMT5(void);
#import

input int  HistoryBars       = 20000; // Bars in each batch (the newest ones)
input int  TimerMilliseconds = 20;    // How often the viewer's request is looked for (ms)
input bool PublishOnNewBar   = false; // Also publish unasked whenever a new bar opens

// The longest text the timeline block holds.
const int TimelineBytes = 134217727;
// A line without its prices: "YYYY/MM/DD hh:mm:ss.mmm," (24 bytes), three
// more commas and the line feed.
const int LineFixedBytes = 28;

datetime g_newestPublished = 0;   // open time of the newest bar last published
bool     g_failing = false;       // the last publish failed (its reason is logged once)
// Every program in the terminal shares one tickwell.dll, so a start that was
// refused must not release the channels of the program that holds them.
bool     g_holdsChannels = false;

void Log(string text)
{
   Print("TickwellPublisher: ", text);
}

// A failure is logged once, not on every timer pass that retries it.
void ReportFailure(string text)
{
   if(!g_failing)
      Log(text + "; trying again");
   g_failing = true;
}

// Bytes that a price can take in a line: sign, integer digits, point and five
// decimals, and one digit more where rounding carries (9.999999 -> 10.00000).
int PriceBytes(double price)
{
   double magnitude = MathAbs(price);
   int digits = 1;
   while(magnitude >= 10.0 && digits < 400)
     {
      magnitude = magnitude / 10.0;
      digits++;
     }
   return(1 + digits + 1 + 5 + 1);
}

// How many of the newest `count` bars fit the timeline block, judged by the
// widest price among them.
int BarsThatFit(const MqlRates &rates[], int count)
{
   double widest = 0.0;
   for(int i = 0; i < count; i++)
     {
      widest = MathMax(widest, MathAbs(rates[i].open));
      widest = MathMax(widest, MathAbs(rates[i].high));
      widest = MathMax(widest, MathAbs(rates[i].low));
      widest = MathMax(widest, MathAbs(rates[i].close));
     }
   int fit = TimelineBytes / (LineFixedBytes + 4 * PriceBytes(widest));
   return(count < fit ? count : fit);
}

// One complete batch in the order the viewer relies on: a line per bar,
// oldest first, each timed at its open minute; the publish; the send time;
// and only then the send flag.
bool PublishBatch()
{
   MqlRates rates[];
   ResetLastError();
   int copied = CopyRates(Symbol(), Period(), 0, HistoryBars, rates);
   if(copied <= 0)
     {
      ReportFailure("no bars of " + Symbol() + " to publish yet (CopyRates error " +
                    IntegerToString(GetLastError()) + ")");
      return(false);
     }
   int first = copied - BarsThatFit(rates, copied);
   for(int i = first; i < copied; i++)
     {
      MqlDateTime barOpen;
      TimeToStruct(rates[i].time, barOpen);
      lineSendTimeLineMT5(barOpen.year, barOpen.mon, barOpen.day, barOpen.hour, barOpen.min, 0, 0,
                          rates[i].open, rates[i].high, rates[i].low, rates[i].close);
     }
   if(completeSendticksMT5() == 0)
     {
      ReportFailure("tickwell.dll could not publish the batch (its timeline channel is missing)");
      return(false);
     }
   setsendtimeNowMT5();
   int ready = 1;
   setsendcheckMT5(ready);
   g_newestPublished = rates[copied - 1].time;
   if(g_failing)
      Log("publishing again");
   g_failing = false;
   Log("published " + IntegerToString(copied - first) + " bars, newest " +
       TimeToString(g_newestPublished));
   return(true);
}

// Open time of the bar now forming, or 0 when there is none.
datetime FormingBarTime()
{
   MqlRates newest[];
   if(CopyRates(Symbol(), Period(), 0, 1, newest) != 1)
      return(0);
   return(newest[0].time);
}

int OnInit()
{
   // A change of the chart's symbol or period keeps the globals.
   g_newestPublished = 0;
   g_failing = false;
   g_holdsChannels = false;
   if(HistoryBars < 1 || TimerMilliseconds < 1)
     {
      Log("HistoryBars and TimerMilliseconds must be 1 or more");
      return(INIT_PARAMETERS_INCORRECT);
     }
   if(!MQLInfoInteger(MQL_DLLS_ALLOWED))
     {
      Log("DLL imports are not allowed for this expert. Open its properties, tick \"Allow DLL imports\" on the Common tab and attach it again");
      return(INIT_FAILED);
     }
   if(!preInitSendticksMT5())
     {
      Log("the tickwell channels are in use: a viewer or another publisher holds them. Close it and attach this expert again (start the viewer after the expert)");
      return(INIT_FAILED);
     }
   g_holdsChannels = true;
   if(!initSendticksMT5())
     {
      Log("tickwell.dll could not make its channels");
      return(INIT_FAILED);
     }
   uchar symbol[];
   StringToCharArray(Symbol(), symbol, 0, WHOLE_ARRAY, CP_ACP);
   setsymbolcMT5(symbol);
   // The viewer labels the terminal's own period numbers (16408 is D1).
   int timeFrame = (int)Period();
   settimespanMT5(timeFrame);
   if(!EventSetMillisecondTimer(TimerMilliseconds))
     {
      Log("no timer of " + IntegerToString(TimerMilliseconds) + " ms (error " +
          IntegerToString(GetLastError()) + ")");
      return(INIT_FAILED);
     }
   // Without history yet the timer keeps trying; the send flag stays 0 until then.
   PublishBatch();
   return(INIT_SUCCEEDED);
}

void OnTimer()
{
   // A 0 is the viewer asking for a fresh batch, or no batch published yet.
   if(getSendCheckMT5() == 0)
     {
      PublishBatch();
      return;
     }
   if(PublishOnNewBar)
     {
      datetime forming = FormingBarTime();
      if(forming != 0 && forming != g_newestPublished)
         PublishBatch();
     }
}

void OnDeinit(const int reason)
{
   EventKillTimer();
   if(!g_holdsChannels)
     {
      Log("stopped (reason " + IntegerToString(reason) + ")");
      return;
     }
   deinitSendticksMT5();
   g_holdsChannels = false;
   Log("stopped (reason " + IntegerToString(reason) + "), channels released");
}
//+------------------------------------------------------------------+

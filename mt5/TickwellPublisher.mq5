//+------------------------------------------------------------------+
//| TickwellPublisher.mq5                                            |
//| Publishes the bars of its chart to the Tavelund P&F viewer       |
//| (ConsoleTavelundPF) through tickwell.dll.                        |
//|                                                                  |
//| Install: tickwell.dll into MQL5\Libraries, this file into        |
//| MQL5\Experts, compile it in MetaEditor, attach it to the chart   |
//| of the symbol and period to watch with "Allow DLL imports"       |
//| ticked, then start the viewer.                                   |
//|                                                                  |
//| With ExportBarsCsv it also keeps the file                        |
//| MQL5\Files\<symbol>_<period>.csv for tickwell-chart; on further  |
//| charts, while one holds the channels, it writes only that file.  |
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
bool checkSendticksMT5(string mappingName);
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
input bool ExportBarsCsv     = false; // Also write the bars to MQL5\Files\<symbol>_<period>.csv

// The longest text the timeline block holds.
const int TimelineBytes = 134217727;
// A line without its prices: "YYYY/MM/DD hh:mm:ss.mmm," (24 bytes), three
// more commas and the line feed.
const int LineFixedBytes = 28;
// How long a failed write of the bars file waits before it is tried again.
const int RewriteRetryMilliseconds = 1000;

datetime g_newestPublished = 0;   // open time of the newest bar last published
bool     g_failing = false;       // the last publish failed (its reason is logged once)
// Every program in the terminal shares one tickwell.dll, so a start that was
// refused must not release the channels of the program that holds them.
bool     g_holdsChannels = false;

string   g_barsFile = "";         // the bars file in MQL5\Files, with ExportBarsCsv
datetime g_newestWritten = 0;     // open time of the newest bar last written to it
bool     g_writeFailing = false;  // the last write failed (its reason is logged once)
int      g_retryPasses = 0;       // timer passes until a failed write is tried again

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

// The bars of a batch into `rates`: the newest HistoryBars, oldest first.
// Returns how many were copied, 0 when the chart has none yet (the reason
// in GetLastError); those from `first` on fit the timeline block.
int BatchBars(MqlRates &rates[], int &first)
{
   ResetLastError();
   int copied = CopyRates(Symbol(), Period(), 0, HistoryBars, rates);
   if(copied <= 0)
      return(0);
   first = copied - BarsThatFit(rates, copied);
   return(copied);
}

// A file name cannot hold what Windows refuses in one (< > : " / \ | ? *),
// and the tools open files by their ANSI names: those, control characters,
// spaces and everything outside ASCII become "_" ("BTC/USD" -> "BTC_USD").
string FileNamePart(string text)
{
   string part = text;
   int length = StringLen(part);
   for(int i = 0; i < length; i++)
     {
      ushort c = StringGetCharacter(part, i);
      if(c <= ' ' || c >= 127 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' ||
         c == '\\' || c == '|' || c == '?' || c == '*')
         StringSetCharacter(part, i, '_');
     }
   return(part);
}

// "EURUSD_H4.csv": the period as the terminal names it (PERIOD_H4).
string BarsFileName()
{
   return(FileNamePart(Symbol()) + "_" + StringSubstr(EnumToString(Period()), 7) + ".csv");
}

// A failed write is logged once, and tried again a second later (or with
// the next publish), never stopping the publishing.
void ReportWriteFailure(string text)
{
   if(!g_writeFailing)
      Log(text + "; trying again");
   g_writeFailing = true;
   g_retryPasses = RewriteRetryMilliseconds / TimerMilliseconds;
   if(g_retryPasses < 1)
      g_retryPasses = 1;
}

// The bars from `first` on as a CSV file of the form tickwell-chart and
// tickwell-feed read ("date,open,high,low,close", oldest first, prices with
// the symbol's digits). It is written under a temporary name and then moved
// over the old file, so a reader finds the old file or the new one, whole.
bool WriteBarsFile(const MqlRates &rates[], int first, int copied)
{
   string temporary = g_barsFile + ".tmp";
   ResetLastError();
   int handle = FileOpen(temporary, FILE_WRITE | FILE_TXT | FILE_ANSI);
   if(handle == INVALID_HANDLE)
     {
      ReportWriteFailure("could not open MQL5\\Files\\" + temporary + " (error " +
                         IntegerToString(GetLastError()) + ")");
      return(false);
     }
   int digits = Digits();
   bool written = FileWriteString(handle, "date,open,high,low,close\n") > 0;
   for(int i = first; i < copied && written; i++)
      written = FileWriteString(handle, TimeToString(rates[i].time) + "," +
                                DoubleToString(rates[i].open, digits) + "," +
                                DoubleToString(rates[i].high, digits) + "," +
                                DoubleToString(rates[i].low, digits) + "," +
                                DoubleToString(rates[i].close, digits) + "\n") > 0;
   int error = GetLastError();
   FileClose(handle);
   if(written && !FileMove(temporary, 0, g_barsFile, FILE_REWRITE))
     {
      written = false;
      error = GetLastError();
     }
   if(!written)
     {
      FileDelete(temporary);
      ReportWriteFailure("could not write MQL5\\Files\\" + g_barsFile + " (error " +
                         IntegerToString(error) + ")");
      return(false);
     }
   g_newestWritten = rates[copied - 1].time;
   if(g_writeFailing)
      Log("writing MQL5\\Files\\" + g_barsFile + " again");
   g_writeFailing = false;
   return(true);
}

// The bars file on its own, from the chart's bars as they are now.
bool WriteBars()
{
   MqlRates rates[];
   int first = 0;
   int copied = BatchBars(rates, first);
   if(copied == 0)
     {
      ReportWriteFailure("no bars of " + Symbol() + " to write yet (CopyRates error " +
                         IntegerToString(GetLastError()) + ")");
      return(false);
     }
   return(WriteBarsFile(rates, first, copied));
}

// One complete batch in the order the viewer relies on: a line per bar,
// oldest first, each timed at its open minute; the publish; the send time;
// and only then the send flag.
bool SendBatch(const MqlRates &rates[], int first, int copied)
{
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

// A batch for the viewer and, with ExportBarsCsv, the bars file: the file
// after the send flag, so that the viewer does not wait for it. A batch that
// could not be published writes no file: the timer would try it again on
// every pass.
bool PublishBatch()
{
   MqlRates rates[];
   int first = 0;
   int copied = BatchBars(rates, first);
   if(copied == 0)
     {
      ReportFailure("no bars of " + Symbol() + " to publish yet (CopyRates error " +
                    IntegerToString(GetLastError()) + ")");
      return(false);
     }
   if(!SendBatch(rates, first, copied))
      return(false);
   if(ExportBarsCsv)
      WriteBarsFile(rates, first, copied);
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

// The bars file follows the chart, published or not: written again when a
// new bar opens, and a failed write is tried again after a pause.
void KeepBarsFile()
{
   if(g_writeFailing)
     {
      g_retryPasses--;
      if(g_retryPasses <= 0)
         WriteBars();
      return;
     }
   datetime forming = FormingBarTime();
   if(forming != 0 && forming != g_newestWritten)
      WriteBars();
}

// Whether a channel exists, looked at without preInitSendticksMT5, whose
// refusal would show a message box on every further chart.
bool ChannelsInUse()
{
   string mappings[] = {"LOW_SENDCHECKShared", "LOW_SENDTIMEShared", "LOW_TIMELINEShared",
                        "LOW_BLANDShared", "LOW_TIMESPANShared"};
   for(int i = 0; i < ArraySize(mappings); i++)
      if(checkSendticksMT5(mappings[i]))
         return(true);
   return(false);
}

bool StartTimer()
{
   if(EventSetMillisecondTimer(TimerMilliseconds))
      return(true);
   Log("no timer of " + IntegerToString(TimerMilliseconds) + " ms (error " +
       IntegerToString(GetLastError()) + ")");
   return(false);
}

int OnInit()
{
   // A change of the chart's symbol or period keeps the globals.
   g_newestPublished = 0;
   g_failing = false;
   g_holdsChannels = false;
   g_barsFile = ExportBarsCsv ? BarsFileName() : "";
   g_newestWritten = 0;
   g_writeFailing = false;
   g_retryPasses = 0;
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
   // The channels are one per terminal: the charts after the first keep
   // their bars files only.
   if(ExportBarsCsv && ChannelsInUse())
     {
      Log("the tickwell channels are in use: a viewer or this expert on another chart holds them. This chart publishes nothing to the viewer and only writes its bars to MQL5\\Files\\" +
          g_barsFile);
      if(!StartTimer())
         return(INIT_FAILED);
      WriteBars();
      return(INIT_SUCCEEDED);
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
   if(!StartTimer())
      return(INIT_FAILED);
   if(ExportBarsCsv)
      Log("each publish and each new bar also write the bars to MQL5\\Files\\" + g_barsFile);
   // Without history yet the timer keeps trying; the send flag stays 0 until then.
   PublishBatch();
   return(INIT_SUCCEEDED);
}

void OnTimer()
{
   if(g_holdsChannels)
     {
      // A 0 is the viewer asking for a fresh batch, or no batch published yet.
      if(getSendCheckMT5() == 0)
         PublishBatch();
      else if(PublishOnNewBar)
        {
         datetime forming = FormingBarTime();
         if(forming != 0 && forming != g_newestPublished)
            PublishBatch();
        }
     }
   if(ExportBarsCsv)
      KeepBarsFile();
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

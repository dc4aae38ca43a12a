#pragma once
// The eighteen exports of the tick link library (tickwell.dll /
// libtickwell.so): C linkage, undecorated names, one-byte booleans.
//
// Two kinds of process load the library: the MT5 side, which publishes bars
// (TickwellPublisher.mq5 in the MT5 terminal, tickwell-feed, or a producer
// of your own), and the viewer, ConsoleTavelundPF, which reads them;
// tickwell-peek only looks. Each process has its own copy of the library's
// buffers; they meet only in five named shared-memory blocks, each guarded
// by a named mutex that is held only while one block is copied:
//
//   LOW_SENDCHECK  the send flag, an integer (big-endian in the block)
//   LOW_SENDTIME   the time of the last publish, text
//   LOW_TIMELINE   the last published batch of timeline lines, text
//   LOW_BLAND      the symbol, text
//   LOW_TIMESPAN   the chart period in the terminal's numbering, an integer
//
// Each is the mapping "<name>Shared" and the mutex "<name>mutex"; on Linux
// they are /dev/shm objects of those names, behind the prefix that
// TICKWELL_NAMESPACE gives when it is set.
//
// The hand-shake through the send flag: 0 = the viewer asks for a fresh
// batch, 1 = a complete batch is published. The MT5 side publishes a batch
// (lineSendTimeLineMT5 for each bar, oldest first, then
// completeSendticksMT5), then the send time (setsendtimeNowMT5), and writes
// 1 only after all of it. It looks at the flag now and then (the Expert
// Advisor every TimerMilliseconds, 20 by default) and answers each 0 with a
// fresh batch followed by 1. It may also publish unasked; the viewer's live
// view (A) draws such a batch when it sees a new send time, and never
// writes the flag. The viewer, once it holds bars, writes 0 for U and reads
// the flag every millisecond until it reads 1, for at most 5 s (10 s, and
// without writing 0, before its first bars); the CSV save writes 0 and
// waits up to 10 s, looking every 20 ms. Then it reads the timeline whole.
// A late answer is no error: the viewer goes on with whatever the timeline
// holds.
//
// Text results point into the library's per-process snapshot buffer of that
// channel and keep their text until the same export is called again in the
// same process: copy them before that. An export on a channel that is not
// attached (before initSendticksMT5, after deinitSendticksMT5) touches no
// block and returns an empty text or 0; so does one whose block could not
// be made, or was cut or grown by another process.
#include <stdbool.h>
#include <wchar.h>

#if defined(_WIN32)
#if defined(TICKWELL_BUILDING)
#define TICKWELL_API __declspec(dllexport)
#else
#define TICKWELL_API __declspec(dllimport)
#endif
#else
#define TICKWELL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Lifecycle.

// True when none of the five channels exists yet; otherwise shows the
// refusal "多重起動できません" (caption "起動できません"; a message box on
// Windows, standard error on Linux) and returns false. Makes nothing. The MT5
// side calls it first, before initSendticksMT5, and does not start when it
// is false: a viewer or another producer holds the channels then.
TICKWELL_API bool preInitSendticksMT5(void);
// Attaches this process to the five channels, making each that does not
// exist yet (its block all zero) and opening those that do. A repeated call
// attaches afresh before it lets the earlier channels go, so the blocks
// keep their contents. True once the five channel objects exist: a block
// that could not be made is reported only by a printed message, and its
// channel stays unattached. The MT5 side calls it after
// preInitSendticksMT5; the viewer once at its start (ignoring the result),
// tickwell-peek once it has seen that a channel exists.
TICKWELL_API bool initSendticksMT5(void);
// Lets this process's channels go; always true. When the last process lets
// a channel go, its block and contents are discarded. Every program calls
// it when it stops; the viewer logs its result at its end.
TICKWELL_API bool deinitSendticksMT5(void);
// True when a channel mapping of that name exists (L"LOW_TIMELINEShared",
// say). Makes nothing, so tickwell-peek uses it to look without attaching:
// attaching would make the channels, and a producer started afterwards
// would then refuse to start.
TICKWELL_API bool checkSendticksMT5(const wchar_t* mappingName);
// The same with the name as narrow text; false when the name cannot be
// converted to a wide one.
TICKWELL_API bool checkSendticksCharMT5(const char* mappingName);

// Readers. The viewer reads all five at its start (an empty timeline there
// means nothing is published, and it stops); later it reads the send flag
// and the timeline in each refresh, the send time for its header, and the
// symbol again in the CSV save. tickwell-peek shows all five.

// The send flag (LOW_SENDCHECK). The viewer reads it while it waits for a
// batch; the MT5 side reads it to see whether the viewer asks (0).
TICKWELL_API int getSendCheckMT5(void);
// The send time (LOW_SENDTIME), as the MT5 side wrote it.
TICKWELL_API const char* getsendtimeMT5(void);
// The symbol (LOW_BLAND).
TICKWELL_API const char* getsymbolcMT5(void);
// The chart period (LOW_TIMESPAN): minutes under an hour, 16385 for one
// hour, 16408 for a day and so on, as the MT5 terminal numbers them.
TICKWELL_API int gettimespanMT5(void);
// The whole last published batch (LOW_TIMELINE), one line per bar:
// "YYYY/MM/DD hh:mm:ss.mmm,open,high,low,close\n", prices with 5 decimals.
TICKWELL_API const char* ReadLinesMT5(void);

// Writers; each returns 1 once its block is written, 0 when nothing was
// written. A text keeps at most its first 1,023 bytes.

// Writes the send flag (LOW_SENDCHECK): the viewer writes 0 to ask for a
// batch, the MT5 side 1 once a complete batch is published.
TICKWELL_API int setsendcheckMT5(int* value);
// Writes the send time (LOW_SENDTIME).
TICKWELL_API int setsendtimeMT5(const char* text);
// Writes the local time now as the send time, "YYYY/MM/DD hh:mm:ss.mmm"; the
// MT5 side calls it after each publish, before it raises the flag.
TICKWELL_API int setsendtimeNowMT5(void);
// Writes the chart period (LOW_TIMESPAN); the MT5 side, once at its start.
TICKWELL_API int settimespanMT5(int* value);
// Writes the symbol (LOW_BLAND); the MT5 side, once at its start.
TICKWELL_API int setsymbolcMT5(const char* text);

// The timeline: the MT5 side's batch.

// Appends one bar's line to this process's batch; no channel is touched
// until completeSendticksMT5. Called once per bar, oldest first, each timed
// at its minute (second and millisecond 0): the viewer keys its bars by the
// minute and takes the lines after its newest bar as new ones.
TICKWELL_API void lineSendTimeLineMT5(int year, int month, int day, int hour, int minute,
                                      int second, int millisecond, double open, double high,
                                      double low, double close);
// Publishes the batch appended since the last call: its text replaces the
// whole timeline (a batch too long for the 128 MiB block keeps its newest
// whole lines), and the batch starts empty again. 1 once published, 0 when
// the timeline is not attached (the batch is dropped all the same).
TICKWELL_API int completeSendticksMT5(void);

// The 32-bit sum a + b, wrapping on overflow. Programs on the MT5 side
// import this export by its short name: keep it.
TICKWELL_API int add(int a, int b);

#ifdef __cplusplus
}
#endif

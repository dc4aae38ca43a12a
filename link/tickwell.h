#pragma once
// The eighteen exports of the tick link library (tickwell.dll /
// libtickwell.so): C linkage, undecorated names, one-byte booleans.
// Text results point into the library's per-process snapshot buffer of that
// channel and keep their text until the same export is called again in the
// same process.
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
TICKWELL_API bool preInitSendticksMT5(void);
TICKWELL_API bool initSendticksMT5(void);
TICKWELL_API bool deinitSendticksMT5(void);
TICKWELL_API bool checkSendticksMT5(const wchar_t* mappingName);
TICKWELL_API bool checkSendticksCharMT5(const char* mappingName);

// Readers.
TICKWELL_API int getSendCheckMT5(void);
TICKWELL_API const char* getsendtimeMT5(void);
TICKWELL_API const char* getsymbolcMT5(void);
TICKWELL_API int gettimespanMT5(void);
TICKWELL_API const char* ReadLinesMT5(void);

// Writers.
TICKWELL_API int setsendcheckMT5(int* value);
TICKWELL_API int setsendtimeMT5(const char* text);
TICKWELL_API int setsendtimeNowMT5(void);
TICKWELL_API int settimespanMT5(int* value);
TICKWELL_API int setsymbolcMT5(const char* text);

// The timeline.
TICKWELL_API void lineSendTimeLineMT5(int year, int month, int day, int hour, int minute,
                                      int second, int millisecond, double open, double high,
                                      double low, double close);
TICKWELL_API int completeSendticksMT5(void);

// Programs on the MT5 side import this export by its short name: keep it.
TICKWELL_API int add(int a, int b);

#ifdef __cplusplus
}
#endif

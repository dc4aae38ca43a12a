// ConsoleTavelundPF: the point-and-figure chart viewer.
#include <atomic>
#include <iostream>
#include <string>
#include <thread>

#include "common/local_time.h"
#include "common/run_log.h"
#include "common/time_span_label.h"
#include "console/link_watch.h"
#include "console/module.h"
#include "console/options.h"
#include "console/process_end.h"
#include "console/screens.h"
#include "console/terminal.h"
#include "console/viewer.h"
#include "engine/box_text.h"
#include "link/object_namespace.h"
#include "link/tickwell.h"

namespace tavelund {
namespace {

std::string textOf(const char* text) { return text ? std::string(text) : std::string(); }

// Q was pressed, but the view thread waits for a channel that another
// process keeps locked and will not end. The run ends as Q ends it, with
// the terminal given back first; the channels are left to the process end
// (closing them would pull them away under the waiting thread).
[[noreturn]] void endWithTheLinkHeld() {
  restoreConsole();
  std::cerr << "ConsoleTavelundPF: a channel of the link stays locked by another process; "
               "ended without closing the link."
            << std::endl;
  endProcess(0);
}

Viewer& theViewer() {
  static Viewer viewer;
  return viewer;
}

int run(int argc, char** argv) {
  setConsoleTitle(kWindowTitle);
  appendLog(logRule());
  appendLog(" ConsoleTavelundPF Start : " + localTimeText());
  appendLog(logRule());

  const ParsedOptions parsed = parseOptions(argc, argv, std::cerr);
  if (parsed.endNow) return parsed.exitCode;
  Viewer& viewer = theViewer();
  applyOptions(parsed.values, viewer.settings);
  if (parsed.values.modeGiven) return 0;
  if (refuseUnusableNamespace("ConsoleTavelundPF", std::cerr)) return 1;

  appendLog("Release RUN MODE");
  // A box or grid of the user's choice is recorded with the run.
  if (viewer.settings.grid || viewer.settings.boxFraction != 0.01) {
    appendLog("BOX SIZE    : " + boxSizeText(viewer.settings));
    appendLog("CONSTRUCTION: " +
              constructionText(viewer.settings.grid, viewer.settings.highLowMethod()));
  }
  LinkLibrary library = bindLinkLibrary();
  if (library.handle == nullptr) {
    std::cout << "Could not load the dynamic library : " << std::endl;
    return 1;
  }
  initSendticksMT5();

  appendLog(logRule());
  appendLog("ONLINE      : " + textOf(getsendtimeMT5()));
  viewer.linkInfo.symbol = textOf(getsymbolcMT5());
  appendLog("SYMBOL      : " + viewer.linkInfo.symbol);
  viewer.linkInfo.timeSpanLabel = timeSpanLabel(gettimespanMT5());
  appendLog("TIME SPAN   : " + viewer.linkInfo.timeSpanLabel);
  appendLog("SEND FLAG   : " + std::to_string(getSendCheckMT5()));
  appendLog(logRule());

  const char* lines = ReadLinesMT5();
  if (lines == nullptr || *lines == '\0') {
    writeDriverBlock(std::cout);
    waitForAnyKey();
    return -1;
  }

  viewer.link = watchedLinkCalls(
      LinkCalls{getsendtimeMT5, getsymbolcMT5, getSendCheckMT5, setsendcheckMT5, ReadLinesMT5});
  viewer.io.out = &std::cout;
  viewer.io.err = &std::cerr;
  viewer.io.resetScreen = resetScreen;
  viewer.io.readKeys = readKeys;
  viewer.io.readWindowSize = readWindowSize;
  viewer.io.endProcess = [](int code) { endProcess(code); };
  viewer.io.leaveScreen = restoreConsole;
  viewer.io.setTitle = setConsoleTitle;
  viewer.io.ringBell = ringBell;
  viewer.io.waitForScreenEvent = waitForScreenEvent;
  viewer.io.wakeScreenWatch = wakeScreenWatch;
  viewer.io.programFolder = programDirectory();

  std::atomic<bool> viewEnded{false};
  std::thread view([&] {
    runViewLoop(viewer);
    viewEnded.store(true);
  });
  runSizeWatch(viewer);
  if (!waitForViewEnd(viewEnded, linkCallDuration)) endWithTheLinkHeld();
  view.join();

  // Nothing is drawn any more. The detach may have to wait for a peer and
  // say so: that goes to the terminal as the user gets it back, not to the
  // chart's screen, which would take it along.
  restoreConsole();
  appendLog(deinitSendticksMT5() ? "deinitSendticksMT5() : TRUE" : "deinitSendticksMT5() : FALSE");
  appendLog(logRule());
  const std::string path = pathText(library.path);
  appendLog(releaseLinkLibrary(library) ? "Dynamic library unloaded : " + path
                                        : "Dynamic library unload fail : " + path);
  appendLog(logRule());
  appendLog("ConsoleTavelundPF End : " + localTimeText());
  appendLog(logRule());
  return 0;
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) { return tavelund::run(argc, argv); }

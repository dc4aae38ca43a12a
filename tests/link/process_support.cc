#include "tests/link/process_support.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "link/shared_memory.h"
#include "tests/support/channels.h"

namespace tavelund::testing {

const LinkExports& link() {
  static DynamicLibrary library(ownProgramFolder() + linkLibraryFile());
  static LinkExports exports = [] {
    LinkExports loaded;
    if (!library.loaded()) {
      std::fprintf(stderr, "cannot load %s: %s\n", linkLibraryFile(), library.error().c_str());
      std::exit(2);
    }
    const std::string missing = loaded.resolve(library);
    if (!missing.empty()) {
      std::fprintf(stderr, "exports missing from %s: %s\n", linkLibraryFile(), missing.c_str());
      std::exit(2);
    }
    return loaded;
  }();
  return exports;
}

bool anyChannelExists() {
  return anyChannelExists([](const wchar_t* name) { return link().checkSendticksMT5(name); });
}

std::unique_ptr<ChildProcess> startRole(const std::string& role, const std::string& outputPath) {
  return std::make_unique<ChildProcess>(ownProgramPath(), std::vector<std::string>{"--role", role},
                                        outputPath);
}

namespace {

constexpr std::chrono::milliseconds kRoleTimeout{60000};

void say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

bool waitForFlag(int value) {
  return waitFor([&] { return link().getSendCheckMT5() == value; }, kRoleTimeout);
}

void publish(std::initializer_list<int> days) {
  for (int day : days) {
    link().lineSendTimeLineMT5(2024, 3, day, 9, 7, 0, 0, 1.0 + day, 2.0 + day, 0.5 + day,
                               1.5 + day);
  }
  link().completeSendticksMT5();
}

// The MT5 side in miniature: a first batch, then one answer to a request.
int producer() {
  const LinkExports& l = link();
  if (!l.preInitSendticksMT5()) return 3;
  l.initSendticksMT5();
  l.setsymbolcMT5("EURUSD");
  int span = 1;
  l.settimespanMT5(&span);
  publish({1, 2, 3});
  l.setsendtimeMT5("2024/03/05 09:07:03.045");
  l.setFlag(1);
  if (!waitForFlag(0)) return 4;
  publish({4, 5});
  l.setFlag(1);
  if (!waitForFlag(2)) return 4;
  l.deinitSendticksMT5();
  return 0;
}

// Holds the timeline's mutex until it is killed.
int holder() {
  link().initSendticksMT5();
  link().setFlag(7);
  CSharedMemory timeline(L"LOW_TIMELINEShared", L"LOW_TIMELINEmutex", 0x8000000);
  timeline.lock();
  link().setFlag(8);
  std::this_thread::sleep_for(kRoleTimeout);
  return 5;
}

// Attaches, writes, and waits to be killed.
int attached() {
  link().initSendticksMT5();
  link().setsymbolcMT5("LEFTOVER");
  say("attached");
  std::this_thread::sleep_for(kRoleTimeout);
  return 5;
}

// Writes, then leaves when told to.
int leaver() {
  link().initSendticksMT5();
  link().setsymbolcMT5("KEPT");
  link().setFlag(5);
  if (!waitForFlag(6)) return 4;
  link().deinitSendticksMT5();
  return 0;
}

}  // namespace

int runRole(const std::string& role) {
  if (role == "producer") return producer();
  if (role == "holder") return holder();
  if (role == "attached") return attached();
  if (role == "leaver") return leaver();
  std::fprintf(stderr, "unknown role %s\n", role.c_str());
  return 2;
}

}  // namespace tavelund::testing

// Another process on the link, for the viewer's end-to-end tests:
//   link_peer hold MAPPING MUTEX SIZE    attaches to one channel, takes its
//                                        mutex, says "held" and keeps it
//   link_peer publish SYMBOL SEND_TIME   plays a producer that names the
//                                        symbol and the send time as given
//                                        (any bytes), publishes 40 daily bars
//                                        and answers every request alike
//   link_peer mute SYMBOL SEND_TIME      publishes as "publish" does, then
//                                        never answers a request: a
//                                        producer that has stopped
// All run until they are ended (SIGTERM, or killed).
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "link/shared_memory.h"
#include "link/tickwell.h"

namespace {

std::atomic<bool> stopRequested{false};

void onStop(int) { stopRequested.store(true); }

void say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

void sleepAWhile() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

std::wstring wide(const char* text) { return std::wstring(text, text + std::string(text).size()); }

int hold(const char* mapping, const char* mutex, int size) {
  const std::wstring mappingName = wide(mapping);
  const std::wstring mutexName = wide(mutex);
  tavelund::CSharedMemory channel(mappingName.c_str(), mutexName.c_str(), size);
  if (!channel.hasMutex()) return 3;
  channel.lock();
  say("held");
  while (!stopRequested.load()) sleepAWhile();
  return 0;  // the process end lets go of the mutex
}

void publishBars(const char* sendTime) {
  for (int day = 0; day < 40; ++day) {
    const double price = 100 + (day % 10 < 5 ? day % 10 : 10 - day % 10) * 2.0;
    lineSendTimeLineMT5(2024, 1 + day / 28, 1 + day % 28, 0, 0, 0, 0, price, price, price, price);
  }
  completeSendticksMT5();
  setsendtimeMT5(sendTime);
  int ready = 1;
  setsendcheckMT5(&ready);
}

int publish(const char* symbol, const char* sendTime, bool answers) {
  if (!preInitSendticksMT5()) return 3;
  initSendticksMT5();
  setsymbolcMT5(symbol);
  int daily = 16408;
  settimespanMT5(&daily);
  publishBars(sendTime);
  say("published");
  while (!stopRequested.load()) {
    if (answers && getSendCheckMT5() == 0) publishBars(sendTime);
    sleepAWhile();
  }
  deinitSendticksMT5();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGTERM, onStop);
  std::signal(SIGINT, onStop);
  const std::string role = argc > 1 ? argv[1] : "";
  if (role == "hold" && argc == 5) return hold(argv[2], argv[3], std::atoi(argv[4]));
  if (role == "publish" && argc == 4) return publish(argv[2], argv[3], true);
  if (role == "mute" && argc == 4) return publish(argv[2], argv[3], false);
  std::fprintf(stderr,
               "usage: link_peer hold MAPPING MUTEX SIZE | publish SYMBOL SEND_TIME"
               " | mute SYMBOL SEND_TIME\n");
  return 2;
}

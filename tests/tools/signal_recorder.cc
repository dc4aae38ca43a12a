// A stand-in for the program that tickwell-signals --exec runs: appends what
// it was given to a file, and can then end with a code of choice or take its
// time.
//   signal_recorder FILE [exit CODE] [sleep MS]
// One record per run: "run", then "arg=<each argument after FILE>", then
// "NAME=<value>" for each TICKWELL_ signal variable (or "NAME unset"), then
// "end"; every line ends in "\n", the values written as they came.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  std::string record = "run\n";
  int code = 0;
  for (int i = 2; i < argc; ++i) {
    record += "arg=" + std::string(argv[i]) + "\n";
    if (i + 1 < argc && std::strcmp(argv[i], "exit") == 0) code = std::atoi(argv[i + 1]);
    if (i + 1 < argc && std::strcmp(argv[i], "sleep") == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i + 1])));
  }
  for (const char* name : {"TICKWELL_SYMBOL", "TICKWELL_TIMEFRAME", "TICKWELL_SIDE",
                           "TICKWELL_KIND", "TICKWELL_PRICE", "TICKWELL_TIME"}) {
    const char* value = std::getenv(name);
    record += value ? std::string(name) + "=" + value + "\n" : std::string(name) + " unset\n";
  }
  record += "end\n";
  std::FILE* file = std::fopen(argv[1], "ab");
  if (file == nullptr) return 65;
  std::fwrite(record.data(), 1, record.size(), file);
  return std::fclose(file) == 0 ? code : 65;
}

// Stands in for the viewer in the start tests: writes its arguments joined
// by '|' into started-<process id> in its working folder, then ends.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string record;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) record += '|';
    record += argv[i];
  }
  record += '\n';
  const std::string name = "started-" + std::to_string(GetCurrentProcessId());
  const std::string temporary = name + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return 1;
  std::fwrite(record.data(), 1, record.size(), file);
  std::fclose(file);
  return MoveFileA(temporary.c_str(), name.c_str()) ? 0 : 1;
}

#include <windows.h>

#include "common/codepage.h"
#include "common/command_line_word.h"
#include "tests/support/child_process.h"

namespace tavelund::testing {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& outputPath) {
  std::wstring commandLine = commandLineWord(narrowToWide(program));
  for (const auto& argument : arguments)
    commandLine += L" " + commandLineWord(narrowToWide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputPath.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    output = CreateFileW(narrowToWide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION info{};
  started_ =
      CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE,
                     0, nullptr, nullptr, &startup, &info) != 0;
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (started_) {
    CloseHandle(info.hThread);
    handle_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (started_ && !reaped_) kill();
  if (handle_ != nullptr) CloseHandle(handle_);
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
  if (!started_) return -1;
  if (WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  reaped_ = true;
  return static_cast<int>(code);
}

void ChildProcess::kill() {
  if (!started_ || reaped_) return;
  TerminateProcess(handle_, 137);
  WaitForSingleObject(handle_, INFINITE);
  reaped_ = true;
}

std::string ownProgramPath() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return wideToNarrow(std::wstring(path, length));
}

std::string ownProgramFolder() {
  const std::string path = ownProgramPath();
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string programFile(const std::string& name) { return name + ".exe"; }

}  // namespace tavelund::testing

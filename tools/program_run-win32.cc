#include <windows.h>

#include <algorithm>
#include <string_view>

#include "common/command_line_word.h"
#include "common/deadline.h"
#include "tools/program_run.h"

namespace tavelund {
namespace {

// In the ANSI code page, as the C runtime of the program turns its
// arguments and environment back into narrow text.
std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(length, 0)), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), length);
  return out;
}

std::wstring_view nameOf(std::wstring_view entry) {
  // Entries such as "=C:=C:\work" keep the first '=' in their name.
  return entry.substr(0, entry.find(L'=', 1));
}

int compareNames(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE);
}

// This process's environment without the variables the run sets, then
// those, sorted by name as the system keeps a block.
std::wstring environmentBlock(const ProgramRun& run) {
  std::vector<std::wstring> set;
  for (const auto& [name, value] : run.variables) set.push_back(wide(name) + L"=" + wide(value));
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const bool replaced = std::any_of(set.begin(), set.end(), [&](const std::wstring& ours) {
        return compareNames(nameOf(ours), nameOf(entry)) == CSTR_EQUAL;
      });
      if (!replaced) entries.emplace_back(entry);
    }
    FreeEnvironmentStringsW(block);
  }
  entries.insert(entries.end(), set.begin(), set.end());
  std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return compareNames(nameOf(a), nameOf(b)) == CSTR_LESS_THAN;
  });
  std::wstring out;
  for (const std::wstring& entry : entries) out += entry + L'\0';
  return out + L'\0';
}

std::string startFailure(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return "No such file or directory";
  if (error == ERROR_BAD_EXE_FORMAT) return "not a program";
  if (error == ERROR_ACCESS_DENIED) return "Permission denied";
  return "system error " + std::to_string(error);
}

// Standard input from NUL, output and errors on this process's standard
// error; handles the child may inherit.
struct ChildHandles {
  HANDLE input = nullptr, errors = nullptr;
  ChildHandles() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                        OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) input = nullptr;
    const HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
    if (own != nullptr && own != INVALID_HANDLE_VALUE &&
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &errors, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
      errors = nullptr;
  }
  ~ChildHandles() {
    if (input) CloseHandle(input);
    if (errors) CloseHandle(errors);
  }
  ChildHandles(const ChildHandles&) = delete;
  ChildHandles& operator=(const ChildHandles&) = delete;
};

}  // namespace

RunResult runProgram(const ProgramRun& run, const std::function<bool()>& stopRequested) {
  if (run.command.empty() || run.command.front().empty())
    return RunResult{RunResult::End::NotStarted, 0, "no program"};
  std::wstring commandLine;
  for (const std::string& word : run.command) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += commandLineWord(wide(word));
  }
  std::wstring environment = environmentBlock(run);
  PROCESS_INFORMATION info{};
  // A job, so that the time limit ends what the program started too; a new
  // process group, so that Ctrl-C reaches this process only, which then
  // ends the program itself.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  {
    const ChildHandles handles;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.input;
    startup.hStdOutput = handles.errors;
    startup.hStdError = handles.errors;
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                        environment.data(), nullptr, &startup, &info)) {
      const DWORD error = GetLastError();
      if (job) CloseHandle(job);
      return RunResult{RunResult::End::NotStarted, 0, startFailure(error)};
    }
  }
  const bool inJob = job != nullptr && AssignProcessToJobObject(job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);

  RunResult result;
  const auto deadline = MonotonicClock::now() + run.timeLimit;
  for (;;) {
    if (WaitForSingleObject(info.hProcess, 5) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(info.hProcess, &code);
      result = RunResult{RunResult::End::Exited, static_cast<int>(code), {}};
      break;
    }
    const bool stop = stopRequested && stopRequested();
    if (stop || MonotonicClock::now() >= deadline) {
      if (!inJob || !TerminateJobObject(job, 1)) TerminateProcess(info.hProcess, 1);
      WaitForSingleObject(info.hProcess, INFINITE);
      result = RunResult{stop ? RunResult::End::Stopped : RunResult::End::TimedOut, 0, {}};
      break;
    }
  }
  CloseHandle(info.hProcess);
  if (job) CloseHandle(job);
  return result;
}

}  // namespace tavelund

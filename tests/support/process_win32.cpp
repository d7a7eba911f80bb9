#include <windows.h>

#include <stdexcept>

#include "format/wide_text.h"
#include "tests/support/process.h"

namespace test {

namespace {

std::wstring Wide(const std::string& utf8) {
  return format::ToUtf16(format::kUtf8CodePage, utf8).value();
}

HANDLE OpenInherited(const std::string& path, DWORD access, DWORD creation) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(Wide(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE HandleOf(std::intptr_t id) { return reinterpret_cast<HANDLE>(id); }

}  // namespace

Process::Process(const std::vector<std::string>& args, const std::string& input,
                 bool interruptible) {
  WriteFile(streams_ / "in", input);
  std::wstring commandLine;
  for (const std::string& arg : args) {
    // Quoted whole: no argument of the tests holds a quote or ends in a
    // backslash, which the C runtime would read otherwise.
    commandLine += (commandLine.empty() ? L"\"" : L" \"") + Wide(arg) + L"\"";
  }
  const HANDLE streams[] = {
      OpenInherited(streams_ / "in", GENERIC_READ, OPEN_EXISTING),
      OpenInherited(streams_ / "out", GENERIC_WRITE, CREATE_ALWAYS),
      OpenInherited(streams_ / "err", GENERIC_WRITE, CREATE_ALWAYS)};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = streams[0];
  startup.hStdOutput = streams[1];
  startup.hStdError = streams[2];
  PROCESS_INFORMATION started{};
  const BOOL ok = CreateProcessW(
      nullptr, commandLine.data(), nullptr, nullptr, TRUE,
      // One shares the test's console, to be sent Ctrl-C on it; without a
      // console there is no terminal to ask a password on.
      interruptible ? 0 : DETACHED_PROCESS, nullptr, nullptr, &startup,
      &started);
  for (const HANDLE stream : streams) {
    CloseHandle(stream);
  }
  if (ok == 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  CloseHandle(started.hThread);
  id_ = reinterpret_cast<std::intptr_t>(started.hProcess);
}

Process::~Process() {
  if (!Ended()) {
    Kill();
    Wait();
  }
  CloseHandle(HandleOf(id_));
}

bool Process::Ended() {
  DWORD code = 0;
  if (!status_ && WaitForSingleObject(HandleOf(id_), 0) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(HandleOf(id_), &code) != 0) {
    status_ = static_cast<int>(code);
  }
  return status_.has_value();
}

void Process::Kill() { TerminateProcess(HandleOf(id_), kKilled); }

// Wine sends no Ctrl-Break to a process group: Ctrl-C goes to every process
// on the console, and the test ignores it (its children do not inherit
// that).
bool Process::Signal(int /*signal*/) {
  SetConsoleCtrlHandler(nullptr, TRUE);
  return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
}

ProcessResult Process::Wait() {
  WaitForSingleObject(HandleOf(id_), INFINITE);
  Ended();
  return {status_.value_or(-1), ReadFile(streams_ / "out"),
          ReadFile(streams_ / "err")};
}

}  // namespace test

// The console on Windows. Text reaches a console as UTF-16 through
// WriteConsoleW, whatever its code page; redirected, it stays UTF-8.

#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>

#include "cli/console.h"
#include "format/wide_text.h"

namespace cli {

namespace {

std::atomic<jobs::RunningFlag*> g_running{nullptr};
HANDLE g_jobEnded = nullptr;  // set once the job has cleaned up

// Runs on a thread of its own that Windows starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  jobs::RunningFlag* const running = g_running.load();
  if (running == nullptr) {
    return FALSE;
  }
  running->store(0);
  // The process ends as soon as this returns from a closed console (or a
  // session that ends): first the job takes its temporary output away.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT ||
      event == CTRL_SHUTDOWN_EVENT) {
    WaitForSingleObject(g_jobEnded, INFINITE);
  }
  return TRUE;
}

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

std::optional<std::vector<std::string>> Utf8Arguments(int /*argc*/,
                                                      char** /*argv*/) {
  // argv holds the arguments in the ANSI code page, which loses characters.
  int count = 0;
  wchar_t** const wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    std::optional<std::string> argument =
        format::FromUtf16(format::kUtf8CodePage, wide[i]);
    if (!argument) {
      LocalFree(wide);
      return std::nullopt;
    }
    arguments.push_back(*std::move(argument));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareConsole() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleCtrlHandler(nullptr, FALSE);
}

void WriteText(std::FILE* stream, std::string_view text) {
  const HANDLE handle = HandleOf(stream);
  const std::optional<std::wstring> wide =
      IsConsole(handle) ? format::ToUtf16(format::kUtf8CodePage, text)
                        : std::nullopt;
  if (!wide) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    return;
  }
  std::fflush(stream);
  std::wstring_view rest = *wide;
  DWORD written = 0;
  while (!rest.empty() &&
         WriteConsoleW(handle, rest.data(), static_cast<DWORD>(rest.size()),
                       &written, nullptr) != 0 &&
         written > 0) {
    rest.remove_prefix(written);
  }
}

bool IsStandardOutput(const std::string& path) {
  const std::optional<std::wstring> wide =
      format::ToUtf16(format::kUtf8CodePage, path);
  if (!wide) {
    return false;
  }
  const HANDLE file = CreateFileW(
      wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION named{};
  BY_HANDLE_FILE_INFORMATION standard{};
  const bool same =
      GetFileInformationByHandle(file, &named) != 0 &&
      GetFileInformationByHandle(HandleOf(stdout), &standard) != 0 &&
      named.dwVolumeSerialNumber == standard.dwVolumeSerialNumber &&
      named.nFileIndexHigh == standard.nFileIndexHigh &&
      named.nFileIndexLow == standard.nFileIndexLow;
  CloseHandle(file);
  return same;
}

bool StandardErrorIsTerminal() { return IsConsole(HandleOf(stderr)); }

// Windows' console takes no escape sequences unless asked to: spaces over
// the line instead.
std::string LineEraser(int width) {
  return "\r" + std::string(static_cast<std::size_t>(width), ' ') + "\r";
}

void CancelOnInterrupt(jobs::RunningFlag& running) {
  g_jobEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_running.store(&running);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void JobEnded() {
  if (g_jobEnded != nullptr) {
    SetEvent(g_jobEnded);
  }
}

}  // namespace cli

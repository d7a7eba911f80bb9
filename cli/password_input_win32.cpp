// Passwords on Windows: from a C runtime descriptor, from a file named in
// UTF-8, or typed on the console with echo off.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>

#include "cli/password_input.h"
#include "format/wide_text.h"

namespace cli {

namespace {

std::atomic<bool> g_promptInterrupted{false};
std::atomic<HANDLE> g_promptInput{INVALID_HANDLE_VALUE};

BOOL WINAPI OnPromptEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  g_promptInterrupted.store(true);
  // Not every console ends a pending line read on Ctrl-C (Wine's does not):
  // an Enter pressed on the user's behalf ends it.
  INPUT_RECORD enter{};
  enter.EventType = KEY_EVENT;
  enter.Event.KeyEvent.bKeyDown = TRUE;
  enter.Event.KeyEvent.wRepeatCount = 1;
  enter.Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
  enter.Event.KeyEvent.uChar.UnicodeChar = L'\r';
  DWORD written = 0;
  WriteConsoleInputW(g_promptInput.load(), &enter, 1, &written);
  return TRUE;
}

class ConsoleHandle {
 public:
  explicit ConsoleHandle(const wchar_t* name)
      : handle_(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr)) {}
  ConsoleHandle(const ConsoleHandle&) = delete;
  ConsoleHandle& operator=(const ConsoleHandle&) = delete;
  ~ConsoleHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
    }
  }
  [[nodiscard]] HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Ctrl-C and Ctrl-Break end the prompt while it is shown; the console's
// mode goes back to what it was, however the prompt ends.
class QuietConsole {
 public:
  QuietConsole(HANDLE input, DWORD saved) : input_(input), saved_(saved) {
    g_promptInterrupted.store(false);
    g_promptInput.store(input);
    SetConsoleCtrlHandler(OnPromptEvent, TRUE);
    SetConsoleMode(input_,
                   (saved_ | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                       ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;
  ~QuietConsole() {
    SetConsoleMode(input_, saved_);
    SetConsoleCtrlHandler(OnPromptEvent, FALSE);
    g_promptInput.store(INVALID_HANDLE_VALUE);
  }

 private:
  HANDLE input_;
  DWORD saved_;
};

bool WriteConsoleText(HANDLE console, std::string_view text) {
  const std::optional<std::wstring> wide =
      format::ToUtf16(format::kUtf8CodePage, text);
  DWORD written = 0;
  return wide &&
         WriteConsoleW(console, wide->data(), static_cast<DWORD>(wide->size()),
                       &written, nullptr) != 0;
}

}  // namespace

std::optional<PasswordLine> ReadPasswordLine(int fd) {
  // Bytes as they are: the line end is trimmed by ReadFirstLine, and a
  // Ctrl-Z is text.
  _setmode(fd, _O_BINARY);
  return ReadFirstLine([fd](char* buffer, std::size_t size) -> std::ptrdiff_t {
    return _read(fd, buffer, static_cast<unsigned>(size));
  });
}

std::optional<PasswordLine> ReadPasswordFile(const std::string& path) {
  const std::optional<std::wstring> wide =
      format::ToUtf16(format::kUtf8CodePage, path);
  const int fd =
      wide ? _wopen(wide->c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT) : -1;
  if (fd < 0) {
    return std::nullopt;
  }
  std::optional<PasswordLine> line = ReadPasswordLine(fd);
  _close(fd);
  return line;
}

PromptResult PromptPassword(const char* prompt, std::string& password) {
  const ConsoleHandle input(L"CONIN$");
  const ConsoleHandle output(L"CONOUT$");
  DWORD saved = 0;
  if (GetConsoleMode(input.get(), &saved) == 0) {
    return PromptResult::kNoTerminal;
  }
  std::wstring line;
  PromptResult result = PromptResult::kOk;
  {
    const QuietConsole quiet(input.get(), saved);
    if (!WriteConsoleText(output.get(), prompt)) {
      result = PromptResult::kFailed;
    }
    wchar_t buffer[256];
    while (result == PromptResult::kOk &&
           line.find_first_of(L"\r\n") == std::wstring::npos) {
      DWORD n = 0;
      const BOOL read =
          ReadConsoleW(input.get(), buffer, std::size(buffer), &n, nullptr);
      // A line read returns nothing only when Ctrl-C or Ctrl-Break cut it,
      // possibly before the handler's thread has run.
      if (g_promptInterrupted.load() || (read != 0 && n == 0)) {
        result = PromptResult::kInterrupted;
      } else if (read == 0) {
        result = PromptResult::kFailed;
      } else {
        line.append(buffer, n);
      }
    }
  }
  // The Enter that ended the line was not echoed either.
  WriteConsoleText(output.get(), "\n");
  line.resize(std::min(line.find_first_of(L"\r\n"), line.size()));
  std::optional<std::string> utf8 =
      format::FromUtf16(format::kUtf8CodePage, line);
  if (result == PromptResult::kOk && !utf8) {
    result = PromptResult::kFailed;
  }
  password = utf8.value_or("");
  return result;
}

}  // namespace cli

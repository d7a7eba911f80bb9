#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include "cli/password_input.h"

namespace cli {

namespace {

constexpr int kSignalSliceMs = 100;

volatile std::sig_atomic_t g_promptInterrupted = 0;
volatile std::sig_atomic_t g_promptStopped = 0;

extern "C" void OnPromptSignal(int signal) {
  (signal == SIGTSTP ? g_promptStopped : g_promptInterrupted) = 1;
}

// Every signal that ends or stops the program at the prompt: the terminal
// is restored before it takes effect (Ctrl-\ is SIGQUIT, Ctrl-Z SIGTSTP).
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGTSTP};

void TrimLineEnd(std::string& line) {
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
}

// Installs a handler for SIGINT and SIGTERM without SA_RESTART, so that a
// blocked read returns, and puts the old ones back when it goes.
class PromptSignals {
 public:
  PromptSignals() {
    struct sigaction action {};
    action.sa_handler = OnPromptSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i) {
      sigaction(kPromptSignals[i], &action, &old_[i]);
    }
  }
  PromptSignals(const PromptSignals&) = delete;
  PromptSignals& operator=(const PromptSignals&) = delete;
  ~PromptSignals() {
    for (std::size_t i = 0; i < std::size(kPromptSignals); ++i) {
      sigaction(kPromptSignals[i], &old_[i], nullptr);
    }
  }

 private:
  struct sigaction old_[std::size(kPromptSignals)]{};
};

// Stops the program as Ctrl-Z asked, with the terminal as it was, and
// turns echo off again once it is resumed.
void StopWithTerminalRestored(int tty, const termios& saved,
                              const termios& quiet) {
  tcsetattr(tty, TCSAFLUSH, &saved);
  struct sigaction stop {};
  struct sigaction ours {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, &ours);
  raise(SIGTSTP);
  sigaction(SIGTSTP, &ours, nullptr);
  tcsetattr(tty, TCSAFLUSH, &quiet);
}

}  // namespace

std::optional<PasswordLine> ReadPasswordLine(int fd) {
  return ReadFirstLine([fd](char* buffer, std::size_t size) -> std::ptrdiff_t {
    ssize_t count = 0;
    while ((count = read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return count;
  });
}

std::optional<PasswordLine> ReadPasswordFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  std::optional<PasswordLine> line = ReadPasswordLine(fd);
  close(fd);
  return line;
}

PromptResult PromptPassword(const char* prompt, std::string& password) {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) {
    return PromptResult::kNoTerminal;
  }
  termios saved{};
  if (tcgetattr(tty, &saved) != 0) {
    close(tty);
    return PromptResult::kNoTerminal;
  }
  const PromptSignals signals;
  g_promptInterrupted = 0;
  g_promptStopped = 0;
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  // Echo goes off before the prompt shows, so nothing typed is echoed.
  tcsetattr(tty, TCSAFLUSH, &quiet);
  const ssize_t promptWritten = write(tty, prompt, std::strlen(prompt));

  PromptResult result =
      promptWritten < 0 ? PromptResult::kFailed : PromptResult::kOk;
  password.clear();
  char c = 0;
  while (result == PromptResult::kOk) {
    // A signal just before a read would leave it waiting: the flags are
    // looked at in slices.
    pollfd ready{.fd = tty, .events = POLLIN, .revents = 0};
    const bool typed = poll(&ready, 1, kSignalSliceMs) > 0;
    const ssize_t n = typed ? read(tty, &c, 1) : -1;
    if (!typed) {
      errno = EINTR;
    }
    if (g_promptInterrupted != 0) {
      result = PromptResult::kInterrupted;
    } else if (n < 0 && errno == EINTR) {
      if (g_promptStopped != 0) {
        g_promptStopped = 0;
        StopWithTerminalRestored(tty, saved, quiet);
      }
    } else if (n < 0) {
      result = PromptResult::kFailed;
    } else if (n == 0 || c == '\n') {
      break;
    } else {
      password += c;
    }
  }
  tcsetattr(tty, TCSAFLUSH, &saved);
  if (result == PromptResult::kInterrupted) {
    [[maybe_unused]] const ssize_t ignored = write(tty, "\n", 1);
  }
  close(tty);
  TrimLineEnd(password);
  return result;
}

}  // namespace cli

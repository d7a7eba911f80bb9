#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/password_input.h"

namespace cli {

namespace {

volatile std::sig_atomic_t g_promptInterrupted = 0;

extern "C" void OnPromptSignal(int /*signal*/) { g_promptInterrupted = 1; }

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
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  PromptSignals(const PromptSignals&) = delete;
  PromptSignals& operator=(const PromptSignals&) = delete;
  ~PromptSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace

std::optional<std::string> ReadPasswordLine(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return std::nullopt;
    }
    if (n == 0 || c == '\n') {
      break;
    }
    line += c;
  }
  TrimLineEnd(line);
  return line;
}

std::optional<std::string> ReadPasswordFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  std::optional<std::string> line = ReadPasswordLine(fd);
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
    const ssize_t n = read(tty, &c, 1);
    if (g_promptInterrupted != 0) {
      result = PromptResult::kInterrupted;
    } else if (n < 0 && errno == EINTR) {
      continue;
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

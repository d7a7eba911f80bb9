#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

#include "tests/support/process.h"

namespace test {

namespace {

// Runs `args` with `streams` as its standard ones, or on a new
// pseudo-terminal when there are none.
pid_t Start(const std::vector<std::string>& args, const int* streams,
            int* terminal) {
  std::vector<char*> argv;  // made before the fork: the child only execs
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t pid = streams != nullptr ? fork() : forkpty(terminal, {}, {}, {});
  if (pid == 0) {
    if (streams != nullptr) {
      setsid();  // no controlling terminal to ask a password on
      for (const int fd : {0, 1, 2}) {
        dup2(streams[fd], fd);
      }
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  return pid;
}

}  // namespace

Process::Process(const std::vector<std::string>& args, const std::string& input,
                 bool /*interruptible*/) {
  WriteFile(streams_ / "in", input);
  // Opened here, so that the files exist even if the child is killed
  // before it runs.
  const int streams[] = {
      open((streams_ / "in").c_str(), O_RDONLY | O_CLOEXEC),
      open((streams_ / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
      open((streams_ / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
  id_ = Start(args, streams, nullptr);
  for (const int fd : streams) {
    close(fd);
  }
}

Process::Process(const std::vector<std::string>& args) {
  id_ = Start(args, nullptr, &terminal_);
}

Process::~Process() {
  if (!Ended()) {
    Kill();
    Wait();
  }
  close(terminal_);
}

bool Process::Ended() { return Reap(WNOHANG); }

bool Process::Reap(int options) {
  int status = 0;
  if (!status_ && waitpid(static_cast<pid_t>(id_), &status, options) > 0) {
    status_ = status;
  }
  return status_.has_value();
}

bool Process::Signal(int signal) {
  return kill(static_cast<pid_t>(id_), signal) == 0;
}

void Process::Kill() { Signal(SIGKILL); }

ProcessResult Process::Wait() {
  while (terminal_ >= 0 && ReadSome()) {
  }
  Reap(0);
  const int s = status_.value_or(-1);
  const int status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
  return terminal_ >= 0 ? ProcessResult{status, screen_, ""}
                        : ProcessResult{status, ReadFile(streams_ / "out"),
                                        ReadFile(streams_ / "err")};
}

bool Process::Answer(const std::string& prompt, const std::string& line) {
  std::size_t at = 0;
  while ((at = screen_.find(prompt, found_)) == std::string::npos) {
    if (!ReadSome()) {
      return false;
    }
  }
  found_ = at + prompt.size();
  return write(terminal_, line.data(), line.size()) ==
         static_cast<ssize_t>(line.size());
}

bool Process::Echoes() const {
  termios mode{};
  return tcgetattr(terminal_, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
}

bool Process::ReadSome() {
  pollfd ready{terminal_, POLLIN, 0};
  // A minute of silence means the program is stuck: stop it.
  if (poll(&ready, 1, 60000) <= 0) {
    Kill();
    return false;
  }
  char buffer[4096];
  const ssize_t n = read(terminal_, buffer, sizeof buffer);
  screen_.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return n > 0;
}

}  // namespace test

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "cli/console.h"

namespace cli {

namespace {

jobs::RunningFlag* g_running = nullptr;

extern "C" void OnCancelSignal(int /*signal*/) {
  if (g_running != nullptr) {
    g_running->store(0);
  }
}

}  // namespace

std::optional<std::vector<std::string>> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareConsole() { std::signal(SIGPIPE, SIG_IGN); }

void WriteText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

bool IsStandardOutput(const std::string& path) {
  struct stat output {};
  struct stat standard {};
  return stat(path.c_str(), &output) == 0 &&
         fstat(STDOUT_FILENO, &standard) == 0 &&
         output.st_dev == standard.st_dev && output.st_ino == standard.st_ino;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string LineEraser(int /*width*/) { return "\r\033[K"; }

// SIGINT and SIGTERM cancel the job as the cancel button does; so does
// SIGHUP, so that closing the terminal leaves no temporary file behind.
void CancelOnInterrupt(jobs::RunningFlag& running) {
  g_running = &running;
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
}

// The signal handlers let the process run on to its end by itself.
void JobEnded() {}

}  // namespace cli

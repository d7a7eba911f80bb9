// program-cli: encrypts a file into a container, or decrypts a container,
// with the same job as the desktop dialog's start button.

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/password_input.h"
#include "cli/terminal_progress.h"
#include "jobs/path_names.h"
#include "jobs/run_job.h"

namespace {

jobs::RunningFlag g_running{0};

extern "C" void OnCancelSignal(int /*signal*/) { g_running.store(0); }

// SIGINT and SIGTERM cancel the job as the cancel button does; so does
// SIGHUP, so that closing the terminal leaves no temporary file behind.
void CancelOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
}

// True when `path` is the file standard output writes, as /dev/stdout is.
bool IsStandardOutput(const std::string& path) {
  struct stat output {};
  struct stat standard {};
  return stat(path.c_str(), &output) == 0 &&
         fstat(STDOUT_FILENO, &standard) == 0 &&
         output.st_dev == standard.st_dev && output.st_ino == standard.st_ino;
}

int UsageError(const std::string& error) {
  std::fprintf(stderr, "program-cli: %s\n", error.c_str());
  std::fputs("Повече информация: program-cli --help\n", stderr);
  return cli::kUsageError;
}

// Reads the password from where the options say, or from the terminal
// (twice when encrypting). Returns an exit status when it cannot; a signal
// at the prompt ends like a cancelled job.
std::optional<int> ObtainPassword(const cli::Options& options, bool encrypting,
                                  cli::TerminalProgress& terminal,
                                  std::string& password) {
  if (options.passwordFile || options.passwordFd) {
    const std::optional<cli::PasswordLine> line =
        options.passwordFile ? cli::ReadPasswordFile(*options.passwordFile)
                             : cli::ReadPasswordLine(*options.passwordFd);
    if (!line) {
      return UsageError(options.passwordFile
                            ? "паролата не може да се прочете от " +
                                  *options.passwordFile
                            : "паролата не може да се прочете от дескриптор " +
                                  std::to_string(*options.passwordFd));
    }
    if (line->tooLong) {
      terminal.ShowMessage(jobs::JobMessage::MSG_PASSWORD_LENGTH);
      return cli::ExitCodeFor(jobs::JobMessage::MSG_PASSWORD_LENGTH);
    }
    password = line->text;
    return std::nullopt;
  }
  std::string again;
  cli::PromptResult result = cli::PromptPassword("парола: ", password);
  if (result == cli::PromptResult::kOk && encrypting) {
    result = cli::PromptPassword("повтори паролата: ", again);
  }
  switch (result) {
    case cli::PromptResult::kOk:
      break;
    case cli::PromptResult::kNoTerminal:
      return UsageError(
          "няма терминал за паролата; използвай --password-file или "
          "--password-fd");
    case cli::PromptResult::kInterrupted:
      terminal.ShowMessage(jobs::JobMessage::MSG_CANCELLED);
      return cli::ExitCodeFor(jobs::JobMessage::MSG_CANCELLED);
    case cli::PromptResult::kFailed:
      return UsageError("паролата не може да се прочете от терминала");
  }
  if (encrypting && password != again) {
    return UsageError("паролите не съвпадат");
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away is a write error, for the data and for the
  // message alike, not the end of the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  const std::optional<cli::Options> options =
      cli::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    return UsageError(error);
  }
  if (options->help) {
    std::fputs(cli::HelpText().c_str(), stdout);
    return 0;
  }
  if (options->version) {
    std::printf("program-cli %s\n", cli::kVersion);
    return 0;
  }

  jobs::JobRequest request{
      options->input, options->input, options->output, options->output, {}};
  cli::TerminalProgress terminal(stdout, stderr, isatty(STDERR_FILENO) == 1);
  // Without both names the job refuses before it looks at the password.
  if (!request.inputText.empty() && !request.outputText.empty()) {
    if (const std::optional<int> status =
            ObtainPassword(*options, !jobs::IsContainerName(request.inputText),
                           terminal, request.passwordText)) {
      return *status;
    }
  }

  g_running.store(1);
  CancelOnSignals();
  const jobs::JobResult result = jobs::RunJob(request, g_running, terminal);
  if (IsStandardOutput(result.outputPath)) {
    terminal.AllMessagesToErrorStream();  // not appended to the data
  }
  terminal.ShowMessage(result.message);
  return cli::ExitCodeFor(result.message);
}

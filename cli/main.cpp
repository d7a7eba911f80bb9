// program-cli: encrypts a file into a container, or decrypts a container,
// with the same job as the desktop dialog's start button.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/password_input.h"
#include "cli/terminal_progress.h"
#include "jobs/path_names.h"
#include "jobs/run_job.h"

namespace {

jobs::RunningFlag g_running{0};

int UsageError(const std::string& error) {
  cli::WriteText(stderr, "program-cli: " + error +
                             "\nПовече информация: program-cli --help\n");
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
  cli::PrepareConsole();
  const std::optional<std::vector<std::string>> arguments =
      cli::Utf8Arguments(argc, argv);
  if (!arguments) {
    return UsageError("аргументите не са валиден текст");
  }
  std::string error;
  const std::optional<cli::Options> options =
      cli::ParseOptions(*arguments, error);
  if (!options) {
    return UsageError(error);
  }
  if (options->help) {
    cli::WriteText(stdout, cli::HelpText());
    return 0;
  }
  if (options->version) {
    cli::WriteText(stdout, std::string("program-cli ") + cli::kVersion + "\n");
    return 0;
  }

  jobs::JobRequest request{
      options->input, options->input, options->output, options->output, {}};
  cli::TerminalProgress terminal(stdout, stderr,
                                 cli::StandardErrorIsTerminal());
  // Without both names the job refuses before it looks at the password.
  if (!request.inputText.empty() && !request.outputText.empty()) {
    if (const std::optional<int> status =
            ObtainPassword(*options, !jobs::IsContainerName(request.inputText),
                           terminal, request.passwordText)) {
      return *status;
    }
  }

  g_running.store(1);
  cli::CancelOnInterrupt(g_running);
  const jobs::JobResult result = jobs::RunJob(request, g_running, terminal);
  cli::JobEnded();
  if (cli::IsStandardOutput(result.outputPath)) {
    terminal.AllMessagesToErrorStream();  // not appended to the data
  }
  terminal.ShowMessage(result.message);
  return cli::ExitCodeFor(result.message);
}

#pragma once

#include <optional>
#include <string>

#include "cli/password_line.h"

namespace cli {

// The first line read from a descriptor (ReadFirstLine). Nothing if the
// descriptor cannot be read.
std::optional<PasswordLine> ReadPasswordLine(int fd);

// The first line of a file. Nothing if the file cannot be read.
std::optional<PasswordLine> ReadPasswordFile(const std::string& path);

enum class PromptResult { kOk, kNoTerminal, kInterrupted, kFailed };

// Asks for a password on the controlling terminal with echo off, and
// restores the terminal whatever happens. SIGINT, SIGTERM, SIGQUIT or
// SIGHUP while waiting ends the prompt with kInterrupted; after a stop
// (Ctrl-Z) and a resume, echo goes off again.
PromptResult PromptPassword(const char* prompt, std::string& password);

}  // namespace cli

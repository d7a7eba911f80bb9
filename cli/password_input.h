#pragma once

#include <optional>
#include <string>

namespace cli {

// The first line read from a descriptor, without its line end ("\n" or
// "\r\n"). Nothing if the descriptor cannot be read.
std::optional<std::string> ReadPasswordLine(int fd);

// The first line of a file. Nothing if the file cannot be read.
std::optional<std::string> ReadPasswordFile(const std::string& path);

enum class PromptResult { kOk, kNoTerminal, kInterrupted, kFailed };

// Asks for a password on the controlling terminal with echo off, and
// restores the terminal whatever happens. SIGINT or SIGTERM while waiting
// ends the prompt with kInterrupted.
PromptResult PromptPassword(const char* prompt, std::string& password);

}  // namespace cli

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct Options {
  bool help = false;
  bool version = false;
  std::string input;
  std::string output;
  std::optional<std::string> passwordFile;
  std::optional<int> passwordFd;
};

// Parses the arguments after the program name. On a mistake returns nothing
// and says what was wrong in `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    std::string& error);

// The text of --help.
std::string HelpText();

inline constexpr const char* kVersion = "1.0.0.1";

}  // namespace cli

#include "cli/password_line.h"

namespace cli {

std::optional<PasswordLine> ReadFirstLine(const BlockReader& read) {
  std::string line;
  char block[512];
  std::size_t newline = std::string::npos;
  while ((newline = line.find('\n')) == std::string::npos &&
         line.size() <= kMaxPasswordLineBytes) {
    const std::ptrdiff_t count = read(block, sizeof block);
    if (count < 0) {
      return std::nullopt;
    }
    if (count == 0) {
      break;
    }
    line.append(block, static_cast<std::size_t>(count));
  }
  line.resize(std::min(newline, line.size()));
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  if (line.size() > kMaxPasswordLineBytes) {
    return PasswordLine{{}, true};
  }
  return PasswordLine{line, false};
}

}  // namespace cli

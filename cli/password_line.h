#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace cli {

// A password line read from a file or a descriptor.
struct PasswordLine {
  std::string text;  // without its line end ("\n" or "\r\n")
  // The first line was longer than kMaxPasswordLineBytes: no password,
  // which no more than 16 characters can be anyway.
  bool tooLong = false;
};

// More than any password of 16 characters in UTF-8, few enough that a file
// with no line end (/dev/zero) is not read to its end.
inline constexpr std::size_t kMaxPasswordLineBytes = 4096;

// Reads into `buffer` up to `size` bytes; the count, 0 at the end, or
// negative on an error.
using BlockReader =
    std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

// The first line of what `read` yields, read in blocks and no further than
// a little past kMaxPasswordLineBytes. Nothing on a read error.
std::optional<PasswordLine> ReadFirstLine(const BlockReader& read);

}  // namespace cli

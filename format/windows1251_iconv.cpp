// The code page through iconv (glibc's, or the library of its own
// elsewhere).

#include <iconv.h>

#include "format/windows1251.h"

namespace format {

namespace {

std::optional<std::string> Convert(const char* to, const char* from,
                                   std::string_view text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT: iconv's error value
    return std::nullopt;
  }
  std::string result(text.size() * 4, '\0');
  // iconv's interface is not const-correct: it never writes the input.
  char* in = const_cast<char*>(text.data());  // NOLINT
  std::size_t inLeft = text.size();
  char* out = result.data();
  std::size_t outLeft = result.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  iconv_close(cd);
  if (rc != 0) {
    // Either an error, or a count of irreversible conversions: a character
    // had no equivalent.
    return std::nullopt;
  }
  result.resize(result.size() - outLeft);
  return result;
}

}  // namespace

std::optional<std::string> Utf8ToWindows1251(std::string_view utf8) {
  return Convert("CP1251", "UTF-8", utf8);
}

std::optional<std::string> Windows1251ToUtf8(std::string_view bytes) {
  return Convert("UTF-8", "CP1251", bytes);
}

bool CodePageAvailable() {
  iconv_t cd = iconv_open("CP1251", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT: iconv's error value
    return false;
  }
  iconv_close(cd);
  return true;
}

bool IsUtf8(std::string_view bytes) {
  return Convert("UTF-32LE", "UTF-8", bytes).has_value();
}

}  // namespace format

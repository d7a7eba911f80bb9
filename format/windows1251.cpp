// What the code page means for names and the container; the conversions
// themselves come from the system (windows1251_iconv.cpp,
// windows1251_win32.cpp).

#include "format/windows1251.h"

#include <algorithm>

namespace format {

bool IsNonAsciiUtf8(std::string_view bytes) {
  const bool nonAscii = std::any_of(bytes.begin(), bytes.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  return nonAscii && IsUtf8(bytes);
}

std::string StoredExtensionBytes(std::string_view extension) {
  if (auto converted = Utf8ToWindows1251(extension)) {
    return *std::move(converted);
  }
  return std::string(extension);
}

std::string ExtensionFromStoredBytes(std::string_view bytes) {
  if (IsNonAsciiUtf8(bytes)) {
    return std::string(bytes);
  }
  if (auto decoded = Windows1251ToUtf8(bytes)) {
    return *std::move(decoded);
  }
  return std::string(bytes);
}

}  // namespace format

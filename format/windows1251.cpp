// What the code page means for names and the container; the conversions
// themselves come from the system (windows1251_iconv.cpp,
// windows1251_win32.cpp).

#include "format/windows1251.h"

#include <algorithm>

namespace format {

bool IsStorableExtensionByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x20U && value != 0x7FU && value != 0x98U;
}

namespace {
bool AllStorable(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), IsStorableExtensionByte);
}
}  // namespace

std::optional<std::string> StoredExtensionBytes(std::string_view extension) {
  std::optional<std::string> bytes = Utf8ToWindows1251(extension);
  if (!bytes || !AllStorable(*bytes)) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> ExtensionFromStoredBytes(std::string_view bytes) {
  if (!AllStorable(bytes)) {
    return std::nullopt;
  }
  return Windows1251ToUtf8(bytes);
}

}  // namespace format

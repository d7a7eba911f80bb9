// The code page through the system's own conversions. Windows gives the
// unused byte 0x98 a meaning (U+0098); that byte and that character are
// refused here, so that the table is the same as iconv's elsewhere.

#include <windows.h>

#include "format/wide_text.h"
#include "format/windows1251.h"

namespace format {

namespace {
constexpr unsigned kWindows1251 = 1251;
constexpr char kUnusedByte = '\x98';
constexpr wchar_t kUnusedByteAsUtf16 = L'\x0098';
}  // namespace

std::optional<std::string> Utf8ToWindows1251(std::string_view utf8) {
  const std::optional<std::wstring> text = ToUtf16(kUtf8CodePage, utf8);
  if (!text || text->find(kUnusedByteAsUtf16) != std::wstring::npos) {
    return std::nullopt;
  }
  return FromUtf16(kWindows1251, *text);
}

std::optional<std::string> Windows1251ToUtf8(std::string_view bytes) {
  if (bytes.find(kUnusedByte) != std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<std::wstring> text = ToUtf16(kWindows1251, bytes);
  if (!text) {
    return std::nullopt;
  }
  return FromUtf16(kUtf8CodePage, *text);
}

bool CodePageAvailable() { return IsValidCodePage(kWindows1251) != 0; }

bool IsUtf8(std::string_view bytes) {
  return ToUtf16(kUtf8CodePage, bytes).has_value();
}

}  // namespace format

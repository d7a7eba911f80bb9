#include <windows.h>

#include <climits>

#include "format/wide_text.h"

namespace format {

std::optional<std::wstring> ToUtf16(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) {
    return std::wstring();
  }
  if (bytes.size() > INT_MAX) {
    return std::nullopt;
  }
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS,
                                         bytes.data(), size, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                      text.data(), length);
  return text;
}

std::optional<std::string> FromUtf16(unsigned codePage,
                                     std::wstring_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (text.size() > INT_MAX) {
    return std::nullopt;
  }
  const int size = static_cast<int>(text.size());
  const bool utf8 = codePage == kUtf8CodePage;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  // UTF-8 has an equivalent for every character and takes no default.
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultCheck = utf8 ? nullptr : &usedDefault;
  const int length = WideCharToMultiByte(codePage, flags, text.data(), size,
                                         nullptr, 0, nullptr, usedDefaultCheck);
  if (length <= 0 || usedDefault != FALSE) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace format

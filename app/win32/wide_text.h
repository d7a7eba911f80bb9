#pragma once

// The system's wide calls take UTF-16; the dialog logic holds UTF-8.

#include <string>
#include <string_view>

#include "format/wide_text.h"

namespace win32 {

// Text that does not convert (it never comes from the system) is empty.
inline std::wstring Wide(std::string_view utf8) {
  return format::ToUtf16(format::kUtf8CodePage, utf8).value_or(std::wstring());
}

inline std::string Utf8(std::wstring_view wide) {
  return format::FromUtf16(format::kUtf8CodePage, wide).value_or(std::string());
}

}  // namespace win32

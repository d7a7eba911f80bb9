#pragma once

// Text for the system's wide calls on Windows, which take UTF-16; the rest
// of the program holds UTF-8.

#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

namespace format {

inline constexpr unsigned kUtf8CodePage = 65001;  // CP_UTF8

// Nothing when the bytes are not valid text in `codePage`.
std::optional<std::wstring> ToUtf16(unsigned codePage, std::string_view bytes);

// Nothing when a character has no equivalent in `codePage`: no best fit
// (no "a" for "ä"), no default character in its place, no lone surrogate.
std::optional<std::string> FromUtf16(unsigned codePage, std::wstring_view text);

}  // namespace format

#endif

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace format {

// The cipher and the container work on Windows-1251 bytes, one byte a
// character; everything else in the program is UTF-8.

// Nothing when the text is not valid UTF-8 or holds a character that
// Windows-1251 cannot represent.
std::optional<std::string> Utf8ToWindows1251(std::string_view utf8);

// Nothing when the bytes hold 0x98, the one byte Windows-1251 leaves unused.
std::optional<std::string> Windows1251ToUtf8(std::string_view bytes);

// True for valid UTF-8: no overlong forms, no surrogates, nothing past
// U+10FFFF.
bool IsUtf8(std::string_view bytes);

// True for valid UTF-8 with at least one character outside ASCII.
bool IsNonAsciiUtf8(std::string_view bytes);

// A name extension as the container stores it: Windows-1251 when every
// character fits, otherwise the name's own bytes.
std::string StoredExtensionBytes(std::string_view extension);

// A stored extension read back: kept as it is when it is UTF-8 with non-ASCII
// characters, otherwise decoded from Windows-1251 (bytes that are not
// Windows-1251 are kept as they are).
std::string ExtensionFromStoredBytes(std::string_view bytes);

}  // namespace format

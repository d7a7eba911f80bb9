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

// False when the system has no converter for Windows-1251, so that no text
// can be converted either way.
bool CodePageAvailable();

// True for a byte a stored extension may hold: not a control character
// (below 0x20, 0x7F) and not 0x98, which Windows-1251 leaves unused and
// Windows reads as a control character. A file name with one of these
// would be damaged or unsafe to show.
bool IsStorableExtensionByte(char byte);

// A name extension as the container stores it: always Windows-1251 bytes.
// Nothing when a character has no Windows-1251 byte or is a control
// character.
std::optional<std::string> StoredExtensionBytes(std::string_view extension);

// A stored extension read back from its Windows-1251 bytes. Nothing when a
// byte is not storable (IsStorableExtensionByte) or the code page is
// missing.
std::optional<std::string> ExtensionFromStoredBytes(std::string_view bytes);

}  // namespace format

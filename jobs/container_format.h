#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace jobs {

// A container is, with no gaps and all integers little-endian:
//   passwordLength   signed 32-bit, 1..16
//   passwordWords    one unsigned 16-bit PasswordWord per password character
//   extensionLength  signed 32-bit
//   extension        extensionLength bytes, the plain file's name extension
//   plainSize        signed 32-bit
//   body             plainSize bytes, plain byte k XOR key byte k

// The stored extension holds at most this many bytes; a longer one marks a
// damaged or foreign container.
inline constexpr std::int32_t kMaxExtensionLength = 259;

// The largest plain file that plainSize can describe.
inline constexpr std::int64_t kMaxPlainSize = INT32_MAX;

// The word stored for the password character at position 0..15: the
// character's Windows-1251 byte sign-extended to 16 bits, with bit
// `position` flipped.
std::uint16_t PasswordWord(char character, std::size_t position);

std::array<std::byte, 4> EncodeInt32(std::int32_t value);
std::int32_t DecodeInt32(const std::array<std::byte, 4>& bytes);
std::array<std::byte, 2> EncodeWord(std::uint16_t value);
std::uint16_t DecodeWord(const std::array<std::byte, 2>& bytes);

}  // namespace jobs

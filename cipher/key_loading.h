#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "cipher/keystream_register.h"

namespace cipher {

// Longest password the register holds: sixteen 16-bit slots.
inline constexpr std::size_t kMaxPasswordLength = 16;

// A password character as the cipher and the container see it: its
// Windows-1251 byte sign-extended to 16 bits (0x80..0xFF become
// 0xFF80..0xFFFF).
std::uint16_t WidenCharacter(char c);

// Loads a password of 1 to 16 bytes (Windows-1251) into a register that has
// just been Reset. The last character fills cells 0..15, the one before it
// cells 16..31, and so on; each character is sign-extended to 16 bits. For a
// 16-character password the top bit of the first character goes to the carry
// instead of cell 255.
void LoadKey(KeystreamRegister& reg, std::string_view password);

// True when the loaded register's output becomes constant, so that the pair
// filter would never accept another bit. With kTapPattern only the password
// 0x01 leads there; such a key must be refused before it is used.
bool KeystreamBecomesConstant(const KeystreamRegister& reg);

// Draws output bits in pairs, keeps the first bit of every unequal pair and
// packs eight kept bits into a key byte. The OR comes before the shift, so
// the first kept bit is shifted out and bit 0 of every key byte is 0.
//
// Returns nothing if kMaxDiscardedPairs pairs in a row were equal: a guard
// against a register whose output has become constant, which would
// otherwise draw forever.
std::optional<std::uint8_t> NextKeyByte(KeystreamRegister& reg);

// Far beyond anything a register that passes KeystreamBecomesConstant can
// produce: its output is an l-sequence-like stream with no such runs.
inline constexpr int kMaxDiscardedPairs = 1 << 16;

}  // namespace cipher

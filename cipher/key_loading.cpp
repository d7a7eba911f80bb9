#include "cipher/key_loading.h"

#include <bit>
#include <cassert>

namespace cipher {

namespace {

constexpr int kCells = 255;

bool AllCellsEqual(const KeystreamRegister& reg, std::uint32_t value) {
  const std::uint32_t word = value != 0 ? 0xFFFF'FFFFU : 0U;
  for (std::size_t k = 0; k < 7; ++k) {
    if (reg.state[k] != word) {
      return false;
    }
  }
  return (reg.state[7] & 0x7FFF'FFFFU) == (word & 0x7FFF'FFFFU);
}

int TapCount(const KeystreamRegister& reg) {
  int taps = 0;
  for (std::size_t k = 0; k < reg.tapMask.size(); ++k) {
    std::uint32_t word = reg.tapMask[k];
    if (k == reg.tapMask.size() - 1) {
      word &= 0x7FFF'FFFFU;
    }
    taps += std::popcount(word);
  }
  return taps;
}

}  // namespace

std::uint16_t WidenCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return static_cast<std::uint16_t>(byte >= 0x80U ? 0xFF00U | byte : byte);
}

void LoadKey(KeystreamRegister& reg, std::string_view password) {
  assert(!password.empty() && password.size() <= kMaxPasswordLength);
  const std::size_t length = password.size();
  for (std::size_t slot = 0; slot < length; ++slot) {
    std::uint32_t widened = WidenCharacter(password[length - 1 - slot]);
    if (slot == kMaxPasswordLength - 1) {
      // Cell 255 stays 0: the character's top bit becomes the carry.
      reg.carry = static_cast<std::int32_t>(widened >> 15U);
      widened &= 0x7FFFU;
    }
    reg.state[slot / 2] |= widened << (16U * (slot % 2));
  }
}

bool KeystreamBecomesConstant(const KeystreamRegister& reg) {
  // After its first 255 outputs the register's output is purely periodic.
  // Once a constant stretch has filled all 255 cells, the register is at one
  // of its two fixed points: every cell 0 with carry 0, or every cell 1 with
  // carry (taps - 1). Running a copy 2 x 255 steps reaches that point for
  // every state whose output becomes constant, and for no other.
  KeystreamRegister copy = reg;
  for (int i = 0; i < 2 * kCells; ++i) {
    copy.Step();
  }
  if (AllCellsEqual(copy, 0)) {
    return copy.carry == 0;
  }
  return AllCellsEqual(copy, 1) && copy.carry == TapCount(copy) - 1;
}

std::optional<std::uint8_t> NextKeyByte(KeystreamRegister& reg) {
  std::uint8_t accumulator = 0;
  int accepted = 0;
  int discardedInARow = 0;
  while (accepted < 8) {
    const std::uint8_t a = reg.Step();
    const std::uint8_t b = reg.Step();
    if (a == b) {
      if (++discardedInARow == kMaxDiscardedPairs) {
        return std::nullopt;
      }
      continue;
    }
    discardedInARow = 0;
    accumulator = static_cast<std::uint8_t>((accumulator | a) << 1U);
    ++accepted;
  }
  return accumulator;
}

}  // namespace cipher

#pragma once

// A cell-by-cell model of the keystream register, written from its
// description rather than from the word-wise code, to check that code.

#include <array>
#include <cstdint>
#include <string_view>

namespace test {

struct ReferenceRegister {
  std::array<int, 256> cells{};  // cell 255 is always 0
  std::array<bool, 255> taps{};
  int carry = 0;

  // Taps from a 255-character pattern, position by position: mask bit
  // 32w + b takes character 222 - 32w + b (w = 0..6, b = 1..31), bit 224 + b
  // character b - 1; bits 0, 32, ..., 224 are never set.
  static ReferenceRegister WithPattern(std::string_view pattern) {
    ReferenceRegister reg;
    for (int cell = 1; cell < 255; ++cell) {
      const int w = cell / 32;
      const int b = cell % 32;
      const int index = w == 7 ? b - 1 : 222 - 32 * w + b;
      reg.taps[static_cast<std::size_t>(cell)] =
          b != 0 && pattern[static_cast<std::size_t>(index)] == '1';
    }
    return reg;
  }

  // Loads a password: character L-1-N sign-extended into cells 16N..16N+15;
  // for sixteen characters the top bit of the first goes to the carry.
  void Load(std::string_view password) {
    const std::size_t length = password.size();
    for (std::size_t n = 0; n < length; ++n) {
      const auto c = static_cast<unsigned char>(password[length - 1 - n]);
      for (int j = 0; j < 16; ++j) {
        const int bit = j < 8 ? (c >> j) & 1 : (c >> 7) & 1;
        const std::size_t cell = 16 * n + static_cast<std::size_t>(j);
        (cell == 255 ? carry : cells[cell]) = bit;
      }
    }
  }

  int Step() {
    const int out = cells[0];
    int sum = carry;
    for (std::size_t i = 0; i < 255; ++i) {
      sum += taps[i] && cells[i] == 1 ? 1 : 0;
    }
    carry = sum / 2;
    for (std::size_t i = 0; i < 254; ++i) {
      cells[i] = cells[i + 1];
    }
    cells[254] = sum % 2;
    cells[255] = 0;
    return out;
  }

  // Unequal pairs give their first bit; eight such bits make a group, the
  // first kept in bit 0.
  std::uint8_t KeyByte() {
    unsigned group = 0;
    for (unsigned kept = 0; kept < 8;) {
      const int a = Step();
      if (a != Step()) {
        group |= static_cast<unsigned>(a) << kept++;
      }
    }
    return PackGroup(group);
  }

  // A group's key byte: bits 7..1 are the group's bits 1..7, bit 0 is 0.
  static std::uint8_t PackGroup(unsigned group) {
    unsigned byte = 0;
    for (unsigned k = 1; k < 8; ++k) {
      byte |= ((group >> k) & 1U) << (8 - k);
    }
    return static_cast<std::uint8_t>(byte);
  }
};

}  // namespace test

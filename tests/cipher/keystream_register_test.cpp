#include "cipher/keystream_register.h"

#include <gtest/gtest.h>

#include <random>
#include <ranges>
#include <string>

#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace {

using cipher::KeystreamRegister;

bool MaskBit(const KeystreamRegister::Cells& mask, int bit) {
  return ((mask[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1U) != 0;
}

bool Cell(const KeystreamRegister& reg, int cell) {
  return MaskBit(reg.state, cell);
}

void SetCell(KeystreamRegister& reg, int cell) {
  reg.state[static_cast<std::size_t>(cell / 32)] |= 1U << (cell % 32);
}

std::string PatternWithOnes(std::initializer_list<int> indices) {
  std::string pattern(255, '0');
  for (const int index : indices) {
    pattern[static_cast<std::size_t>(index)] = '1';
  }
  return pattern;
}

std::string RandomPattern(std::mt19937& generator) {
  std::string pattern(255, '0');
  for (char& c : pattern) {
    c = (generator() & 1U) != 0 ? '1' : '0';
  }
  return pattern;
}

TEST(TapMaskFold, EdgePatterns) {
  EXPECT_EQ(KeystreamRegister::FoldTapPattern(std::string(255, '0')),
            KeystreamRegister::Cells{});

  // All ones: every bit but 0, 32, ..., 224; bit 255 is set but never read.
  const auto all = KeystreamRegister::FoldTapPattern(std::string(255, '1'));
  for (int bit = 0; bit < 256; ++bit) {
    EXPECT_EQ(MaskBit(all, bit), bit % 32 != 0) << "bit " << bit;
  }

  EXPECT_EQ(KeystreamRegister::FoldTapPattern(PatternWithOnes({254})),
            KeystreamRegister::Cells{});
  KeystreamRegister::Cells bit225{};
  bit225[7] = 1U << 1U;
  EXPECT_EQ(KeystreamRegister::FoldTapPattern(PatternWithOnes({0})), bit225);
  KeystreamRegister::Cells bit1{};
  bit1[0] = 1U << 1U;
  EXPECT_EQ(KeystreamRegister::FoldTapPattern(PatternWithOnes({223})), bit1);
}

TEST(TapMaskFold, CharactersThatFallOutOfTheMask) {
  // These characters are shifted out of their word (30 lands in bit 255).
  for (const int index : {254, 222, 190, 158, 126, 94, 62}) {
    EXPECT_EQ(KeystreamRegister::FoldTapPattern(PatternWithOnes({index})),
              KeystreamRegister::Cells{})
        << "character " << index;
  }
  const auto mask = KeystreamRegister::FoldTapPattern(PatternWithOnes({30}));
  for (int bit = 0; bit < 255; ++bit) {
    EXPECT_FALSE(MaskBit(mask, bit));
  }
  EXPECT_TRUE(MaskBit(mask, 255));
}

TEST(TapMaskFold, MatchesThePositionRuleForRandomPatterns) {
  std::mt19937 generator(7);
  for (int round = 0; round < 50; ++round) {
    const std::string pattern = RandomPattern(generator);
    const auto mask = KeystreamRegister::FoldTapPattern(pattern);
    const auto reference = test::ReferenceRegister::WithPattern(pattern);
    for (int bit = 0; bit < 255; ++bit) {
      EXPECT_EQ(MaskBit(mask, bit),
                reference.taps[static_cast<std::size_t>(bit)])
          << "bit " << bit;
    }
  }
}

TEST(TapPattern, TapsExactlyCells1_35_157) {
  KeystreamRegister reg;
  reg.Reset();
  for (int bit = 0; bit < 255; ++bit) {
    EXPECT_EQ(MaskBit(reg.tapMask, bit), bit == 1 || bit == 35 || bit == 157)
        << "bit " << bit;
  }
}

// q = -1 + sum of 2^(255 - j) over the tapped cells j, written out in hex
// from the mask, must be the connection integer that tap_pattern.h states.
TEST(TapPattern, ConnectionIntegerIsTheStatedOne) {
  KeystreamRegister reg;
  reg.Reset();
  std::array<std::uint8_t, 32> q{};  // 256 bits, q[0] lowest byte
  for (int cell = 0; cell < 255; ++cell) {
    if (MaskBit(reg.tapMask, cell)) {
      const int exponent = 255 - cell;
      q[static_cast<std::size_t>(exponent / 8)] |=
          static_cast<std::uint8_t>(1U << (exponent % 8));
    }
  }
  for (std::uint8_t& byte : q) {  // subtract 1
    if (byte-- != 0) {
      break;
    }
  }
  std::string hex;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (const std::uint8_t byte : std::ranges::reverse_view(q)) {
    hex += kDigits[byte >> 4U];
    hex += kDigits[byte & 0xFU];
  }
  EXPECT_EQ(hex,
            "4000000010000000000000000000000000000003"
            "ffffffffffffffffffffffff");
  // q = -1 (mod 2^64): no tap from cell 192 up.
  EXPECT_EQ(hex.substr(48), "ffffffffffffffff");
}

TEST(RegisterStep, AllZeroStaysAllZero) {
  KeystreamRegister reg;
  reg.Reset();
  for (int i = 0; i < 600; ++i) {
    ASSERT_EQ(reg.Step(), 0);
  }
  EXPECT_EQ(reg.state, KeystreamRegister::Cells{});
  EXPECT_EQ(reg.carry, 0);
}

TEST(RegisterStep, ReturnsCellZeroFromBeforeTheStep) {
  KeystreamRegister reg;
  reg.Reset();
  SetCell(reg, 1);  // cell 1 moves to cell 0 during the first Step
  EXPECT_EQ(reg.Step(), 0);
  EXPECT_TRUE(Cell(reg, 0));
  EXPECT_EQ(reg.Step(), 1);
}

TEST(RegisterStep, CarryIsAnIntegerNotABit) {
  // Every pattern character 1: taps on all cells but 0, 32, ..., 224.
  for (const int sum : {4, 5}) {
    KeystreamRegister reg;
    reg.Reset(std::string(255, '1'));
    reg.carry = sum - 3;
    SetCell(reg, 2);
    SetCell(reg, 33);
    SetCell(reg, 254);
    SetCell(reg, 64);  // not a tap
    reg.Step();
    EXPECT_EQ(reg.carry, 2) << "sum " << sum;
    EXPECT_EQ(Cell(reg, 254), sum == 5) << "sum " << sum;
    EXPECT_FALSE(Cell(reg, 255));
  }
}

TEST(RegisterStep, WithoutTapsTheCellsComeOutThenTheCarryBits) {
  KeystreamRegister reg;
  reg.Reset(std::string(255, '0'));
  SetCell(reg, 0);
  SetCell(reg, 3);
  SetCell(reg, 254);
  reg.carry = 0b1011;  // enters cell 254 lowest bit first, halving each time
  std::string out;
  for (int i = 0; i < 255 + 8; ++i) {
    out += static_cast<char>('0' + reg.Step());
  }
  std::string expected(255 + 8, '0');
  expected[0] = expected[3] = expected[254] = '1';
  // Then the carry's bits, lowest first: 1, 1, 0, 1.
  expected[255] = '1';
  expected[256] = '1';
  expected[258] = '1';
  EXPECT_EQ(out, expected);
  EXPECT_EQ(reg.carry, 0);
}

TEST(RegisterStep, MatchesTheCellModelFromRandomStates) {
  std::mt19937 generator(11);
  for (int round = 0; round < 20; ++round) {
    const std::string pattern = round % 2 == 0
                                    ? std::string(cipher::kTapPattern)
                                    : RandomPattern(generator);
    KeystreamRegister reg;
    reg.Reset(pattern);
    auto reference = test::ReferenceRegister::WithPattern(pattern);
    for (int cell = 0; cell < 255; ++cell) {
      if ((generator() & 1U) != 0) {
        SetCell(reg, cell);
        reference.cells[static_cast<std::size_t>(cell)] = 1;
      }
    }
    reg.carry = reference.carry = static_cast<int>(generator() % 5);
    for (int i = 0; i < 3000; ++i) {
      ASSERT_EQ(reg.Step(), reference.Step())
          << "round " << round << " step " << i;
      ASSERT_FALSE(Cell(reg, 255));
    }
    EXPECT_EQ(reg.carry, reference.carry);
  }
}

}  // namespace

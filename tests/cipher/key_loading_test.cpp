#include "cipher/key_loading.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>

#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace {

using cipher::KeystreamRegister;
using cipher::LoadKey;
using cipher::NextKeyByte;

bool Cell(const KeystreamRegister& reg, int cell) {
  return ((reg.state[static_cast<std::size_t>(cell / 32)] >> (cell % 32)) &
          1U) != 0;
}

int SetCells(const KeystreamRegister& reg, int from, int to) {
  int count = 0;
  for (int cell = from; cell <= to; ++cell) {
    count += Cell(reg, cell) ? 1 : 0;
  }
  return count;
}

KeystreamRegister Loaded(const std::string& password) {
  KeystreamRegister reg;
  reg.Reset();
  LoadKey(reg, password);
  return reg;
}

TEST(LoadKey, OneCharacterFillsOnlySlotZero) {
  const KeystreamRegister reg = Loaded("\x7F");
  EXPECT_EQ(reg.state[0], 0x007FU);
  EXPECT_EQ(SetCells(reg, 16, 255), 0);
  EXPECT_EQ(reg.carry, 0);
}

TEST(LoadKey, CharactersFrom0x80AreSignExtended) {
  const KeystreamRegister reg = Loaded("\x80" "A");
  // The last character fills slot 0, the first slot 1.
  EXPECT_EQ(reg.state[0], 0xFF80'0041U);
  EXPECT_EQ(SetCells(reg, 32, 255), 0);
}

TEST(LoadKey, OrderMatters) {
  EXPECT_NE(Loaded("ab").state, Loaded("ba").state);
}

TEST(LoadKey, SixteenCharactersPutTheFirstTopBitIntoTheCarry) {
  const std::string tail(15, 'x');
  const KeystreamRegister high = Loaded("\xD0" + tail);
  EXPECT_EQ(high.carry, 1);
  EXPECT_FALSE(Cell(high, 255));
  EXPECT_EQ(high.state[7] >> 16U, 0x7FD0U);  // bits 0..14 of 0xFFD0

  const KeystreamRegister low = Loaded("\x50" + tail);
  EXPECT_EQ(low.carry, 0);
  EXPECT_EQ(low.state[7] >> 16U, 0x0050U);
}

TEST(LoadKey, FifteenCharactersKeepTheCarryZero) {
  const KeystreamRegister reg = Loaded("\xD0" + std::string(14, 'x'));
  EXPECT_EQ(reg.carry, 0);
  EXPECT_TRUE(Cell(reg, 239));
  EXPECT_EQ(SetCells(reg, 240, 255), 0);
}

TEST(LoadKey, MatchesTheCellModel) {
  std::mt19937 generator(3);
  for (std::size_t length = 1; length <= 16; ++length) {
    std::string password(length, '\0');
    for (char& c : password) {
      c = static_cast<char>(generator() % 255 + 1);
    }
    const KeystreamRegister reg = Loaded(password);
    test::ReferenceRegister reference;
    reference.Load(password);
    for (int cell = 0; cell < 256; ++cell) {
      ASSERT_EQ(Cell(reg, cell) ? 1 : 0,
                reference.cells[static_cast<std::size_t>(cell)])
          << "length " << length << " cell " << cell;
    }
    EXPECT_EQ(reg.carry, reference.carry);
  }
}

// With no taps the output is the loaded cells, so every pair can be chosen.
TEST(NextKeyByte, PacksKeptBitsWithTheFirstShiftedOut) {
  KeystreamRegister reg;
  reg.Reset(std::string(255, '0'));
  // Pairs, lowest cells first: 10 00 01 11 10 10 01 10 01 01 -> kept bits
  // 1 . 0 . 1 1 0 1 0 0; the first kept bit is shifted out, the next seven
  // fill bits 7..1: 0110100 then 0.
  const std::string bits = "10000111101001100101";
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') {
      reg.state[i / 32] |= 1U << (i % 32);
    }
  }
  EXPECT_EQ(NextKeyByte(reg), std::optional<std::uint8_t>(0b0110'1000));
}

TEST(NextKeyByte, KnownAnswersFromTheCellModel) {
  for (const std::string& password : std::vector<std::string>{
           "a", "password", "\xEF\xE0\xF0\xEE\xEB\xE0", std::string(16, '\xFF'),
           "\x80" + std::string(15, '0'), "0123456789abcdef"}) {
    KeystreamRegister reg = Loaded(password);
    auto reference = test::ReferenceRegister::WithPattern(cipher::kTapPattern);
    reference.Load(password);
    for (int n = 0; n < 300; ++n) {
      const std::optional<std::uint8_t> key = NextKeyByte(reg);
      ASSERT_TRUE(key.has_value());
      ASSERT_EQ(*key, reference.KeyByte()) << "byte " << n;
      ASSERT_EQ(*key & 1, 0);
    }
  }
}

TEST(NextKeyByte, GivesUpOnAConstantOutput) {
  // Cell 0 alone: one 1 comes out, then zeros for ever.
  KeystreamRegister reg = Loaded("\x01");
  EXPECT_EQ(NextKeyByte(reg), std::nullopt);
}

// The tap pattern is chosen so that the password 0x01 is the only loaded
// state whose output becomes constant.
TEST(KeystreamBecomesConstant, OnlyForThePassword0x01AmongSingleCharacters) {
  for (int c = 1; c < 256; ++c) {
    KeystreamRegister reg = Loaded(std::string(1, static_cast<char>(c)));
    if (c == 1) {
      EXPECT_TRUE(cipher::KeystreamBecomesConstant(reg));
      continue;
    }
    ASSERT_FALSE(cipher::KeystreamBecomesConstant(reg)) << "character " << c;
    for (int n = 0; n < 64; ++n) {
      ASSERT_TRUE(NextKeyByte(reg).has_value()) << "character " << c;
    }
  }
}

TEST(KeystreamBecomesConstant, NeverForFullSixteenCharacterPasswords) {
  std::mt19937 generator(5);
  std::vector<std::string> passwords = {std::string(16, '\xFF')};
  for (int first = 0x80; first < 0x100; ++first) {
    std::string password(1, static_cast<char>(first));
    for (int i = 0; i < 15; ++i) {
      password += static_cast<char>(generator() % 255 + 1);
    }
    passwords.push_back(password);
  }
  for (const std::string& password : passwords) {
    KeystreamRegister reg = Loaded(password);
    ASSERT_FALSE(cipher::KeystreamBecomesConstant(reg));
    for (int n = 0; n < 64; ++n) {
      ASSERT_TRUE(NextKeyByte(reg).has_value());
    }
  }
}

TEST(KeystreamBecomesConstant, RecognisesBothFixedPoints) {
  KeystreamRegister zero;
  zero.Reset();
  EXPECT_TRUE(cipher::KeystreamBecomesConstant(zero));

  KeystreamRegister ones;
  ones.Reset();
  ones.state.fill(0xFFFF'FFFFU);
  ones.state[7] = 0x7FFF'FFFFU;
  ones.carry = 2;  // taps - 1: every sum is 5, feedback 1, carry 2
  EXPECT_TRUE(cipher::KeystreamBecomesConstant(ones));
  ones.carry = 1;
  EXPECT_FALSE(cipher::KeystreamBecomesConstant(ones));
}

}  // namespace

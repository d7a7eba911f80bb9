// The register, key loading and key bytes, checked against the cell-by-cell
// model in reference_register.h.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cipher/key_loading.h"
#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace {

using cipher::KeystreamRegister;

bool Bit(const KeystreamRegister::Cells& words, int bit) {
  return ((words[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1U) != 0;
}

std::string Pattern(std::initializer_list<int> ones, char fill = '0') {
  std::string pattern(255, fill);
  for (const int index : ones) {
    pattern[static_cast<std::size_t>(index)] = '1';
  }
  return pattern;
}

KeystreamRegister Loaded(const std::string& password) {
  KeystreamRegister reg;
  reg.Reset();
  cipher::LoadKey(reg, password);
  return reg;
}

TEST(TapMask, FoldsThePatternWithTheOrBeforeTheShift) {
  const auto fold = KeystreamRegister::FoldTapPattern;
  const auto ones = fold(Pattern({}, '1'));
  for (int bit = 0; bit < 256; ++bit) {
    EXPECT_EQ(Bit(ones, bit), bit % 32 != 0) << bit;
  }
  // Characters that are shifted out again, or land in the unread bit 255.
  for (const int index : {254, 222, 190, 158, 126, 94, 62, 30}) {
    const auto mask = fold(Pattern({index}));
    for (int bit = 0; bit < 255; ++bit) {
      ASSERT_FALSE(Bit(mask, bit)) << index;
    }
  }
  EXPECT_EQ(fold(Pattern({0})),
            (KeystreamRegister::Cells{0, 0, 0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(fold(Pattern({223})), (KeystreamRegister::Cells{2}));
}

// The taps the fast generator relies on (tools/find_tap_pattern.py checks
// the rest of what cipher/tap_pattern.h states).
TEST(TapMask, TheSearchedPatternTapsCells1_35_157) {
  KeystreamRegister reg;
  reg.Reset();
  for (int cell = 0; cell < 256; ++cell) {
    EXPECT_EQ(Bit(reg.tapMask, cell), cell == 1 || cell == 35 || cell == 157);
  }
}

TEST(RegisterStep, MatchesTheCellModel) {
  std::mt19937 generator(11);
  const std::vector<std::string> patterns = {
      cipher::kTapPattern, Pattern({}), Pattern({}, '1'), Pattern({223, 40})};
  for (const std::string& pattern : patterns) {
    for (int round = 0; round < 5; ++round) {
      KeystreamRegister reg;
      reg.Reset(pattern);
      auto model = test::ReferenceRegister::WithPattern(pattern);
      for (std::size_t cell = 0; cell < 255; ++cell) {
        model.cells[cell] = round == 0 ? 0 : static_cast<int>(generator() & 1U);
        reg.state[cell / 32] |= static_cast<std::uint32_t>(model.cells[cell])
                                << (cell % 32);
      }
      reg.carry = model.carry = static_cast<int>(generator() % 9);
      for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(reg.Step(), model.Step()) << pattern << " step " << i;
        ASSERT_FALSE(Bit(reg.state, 255));
      }
      EXPECT_EQ(reg.carry, model.carry);
    }
  }
}

TEST(LoadKey, FillsSlotsFromTheLastCharacterAndMatchesTheModel) {
  EXPECT_EQ(Loaded("\x80"
                   "A")
                .state,
            (KeystreamRegister::Cells{0xFF80'0041U}));
  EXPECT_NE(Loaded("ab").state, Loaded("ba").state);
  const KeystreamRegister sixteen = Loaded("\xD0" + std::string(15, 'x'));
  EXPECT_EQ(sixteen.carry, 1);  // bit 15 of slot 15 goes to the carry
  EXPECT_EQ(sixteen.state[7] >> 16U, 0x7FD0U);
  EXPECT_EQ(Loaded("\x50" + std::string(15, 'x')).carry, 0);
  const KeystreamRegister fifteen = Loaded("\xD0" + std::string(14, 'x'));
  EXPECT_EQ(fifteen.carry, 0);
  EXPECT_EQ(fifteen.state[7], 0x0000'FFD0U);  // cell 239 set, 240.. clear

  std::mt19937 generator(3);
  for (std::size_t length = 1; length <= 16; ++length) {
    std::string password(length, '\0');
    for (char& c : password) {
      c = static_cast<char>(generator() % 255 + 1);
    }
    test::ReferenceRegister model;
    model.Load(password);
    const KeystreamRegister reg = Loaded(password);
    for (int cell = 0; cell < 256; ++cell) {
      ASSERT_EQ(Bit(reg.state, cell),
                model.cells[static_cast<std::size_t>(cell)] == 1);
    }
    EXPECT_EQ(reg.carry, model.carry);
  }
}

// Without taps the output is the loaded cells, so the pairs can be chosen:
// 10 00 01 11 10 10 01 10 01 01 keep 1 0 1 1 0 1 0 0; the first kept bit is
// shifted out and the other seven fill bits 7..1.
TEST(NextKeyByte, PacksTheKeptBitsWithTheFirstShiftedOut) {
  KeystreamRegister reg;
  reg.Reset(Pattern({}));
  const std::string bits = "10000111101001100101";
  for (std::size_t i = 0; i < bits.size(); ++i) {
    reg.state[0] |= static_cast<std::uint32_t>(bits[i] - '0') << i;
  }
  EXPECT_EQ(cipher::NextKeyByte(reg), std::optional<std::uint8_t>(0b0110'1000));
}

TEST(NextKeyByte, KnownAnswersFromTheCellModel) {
  for (const std::string& password : std::vector<std::string>{
           "a", "\xEF\xE0\xF0\xEE\xEB\xE0", std::string(16, '\xFF'),
           "\x80" + std::string(15, '0'), "0123456789abcdef"}) {
    KeystreamRegister reg = Loaded(password);
    auto model = test::ReferenceRegister::WithPattern(cipher::kTapPattern);
    model.Load(password);
    for (int n = 0; n < 300; ++n) {
      ASSERT_EQ(cipher::NextKeyByte(reg), model.KeyByte()) << n;
    }
  }
}

// Only the password 0x01 leads to a constant output; every other key flows.
TEST(KeystreamBecomesConstant, OnlyForThePassword0x01) {
  std::vector<std::string> passwords = {std::string(16, '\xFF')};
  std::mt19937 generator(5);
  for (int c = 1; c < 256; ++c) {
    passwords.emplace_back(1, static_cast<char>(c));
    if (c >= 0x80) {  // sixteen characters with the carry set
      std::string password(1, static_cast<char>(c));
      for (int i = 0; i < 15; ++i) {
        password += static_cast<char>(generator() % 255 + 1);
      }
      passwords.push_back(password);
    }
  }
  for (const std::string& password : passwords) {
    KeystreamRegister reg = Loaded(password);
    const bool stops = password == "\x01";
    ASSERT_EQ(cipher::KeystreamBecomesConstant(reg), stops) << password;
    for (int n = 0; n < 32; ++n) {
      ASSERT_EQ(cipher::NextKeyByte(reg).has_value(), !stops) << password;
    }
  }
  KeystreamRegister ones;  // the other fixed point: all ones, carry taps - 1
  ones.Reset();
  ones.state.fill(0xFFFF'FFFFU);
  ones.state[7] = 0x7FFF'FFFFU;
  ones.carry = 2;
  EXPECT_TRUE(cipher::KeystreamBecomesConstant(ones));
  ones.carry = 1;
  EXPECT_FALSE(cipher::KeystreamBecomesConstant(ones));
}

}  // namespace

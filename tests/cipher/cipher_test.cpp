// The register, key loading and key bytes against the cell-by-cell model in
// reference_register.h; then the fast generator against the literal
// register: the 2-adic view of the register, the word-wise pair filter with
// its guard, and the ring of blocks made by generator threads, each compared
// with an independent model.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cipher/fast_keystream.h"
#include "cipher/key_loading.h"
#include "cipher/keystream_ring.h"
#include "cipher/register_integer.h"
#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

#ifndef PROGRAM_KEYSTREAM_TEST_BYTES
#define PROGRAM_KEYSTREAM_TEST_BYTES (1 << 20)
#endif

namespace {

using cipher::Integer256;
using cipher::KeystreamRegister;
using cipher::PairFilterState;

// Key bytes compared per password; smaller under the sanitizers.
constexpr std::size_t kStreamBytes = PROGRAM_KEYSTREAM_TEST_BYTES;

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

// Characters 0x01..0xFF, none of them NUL.
std::string RandomPassword(std::size_t length, std::mt19937& generator) {
  std::string password(length, '\0');
  for (char& c : password) {
    c = static_cast<char>(generator() % 255 + 1);
  }
  return password;
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

TEST(LoadKey, FillsSlotsFromTheLastCharacter) {
  EXPECT_EQ(Loaded("\x80\x41").state, (KeystreamRegister::Cells{0xFF80'0041U}));
  const KeystreamRegister sixteen = Loaded("\xD0" + std::string(15, 'x'));
  EXPECT_EQ(sixteen.carry, 1);  // bit 15 of slot 15 goes to the carry
  EXPECT_EQ(sixteen.state[7] >> 16U, 0x7FD0U);
  const KeystreamRegister fifteen = Loaded("\xD0" + std::string(14, 'x'));
  EXPECT_EQ(fifteen.carry, 0);
  EXPECT_EQ(fifteen.state[7], 0x0000'FFD0U);  // cell 239 set, 240.. clear
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

TEST(LoadKeyAndNextKeyByte, MatchTheCellModel) {
  std::vector<std::string> passwords = {
      "a", "\xEF\xE0\xF0\xEE\xEB\xE0", std::string(16, '\xFF'),
      "\x80" + std::string(15, '0'), "0123456789abcdef"};
  std::mt19937 generator(3);
  for (std::size_t length = 1; length <= 16; ++length) {
    passwords.push_back(RandomPassword(length, generator));
  }
  for (const std::string& password : passwords) {
    auto model = test::ReferenceRegister::WithPattern(cipher::kTapPattern);
    model.Load(password);
    KeystreamRegister reg = Loaded(password);
    for (std::size_t cell = 0; cell < 256; ++cell) {
      ASSERT_EQ(Bit(reg.state, static_cast<int>(cell)), model.cells[cell] == 1);
    }
    ASSERT_EQ(reg.carry, model.carry);
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
      passwords.push_back(passwords.back() + RandomPassword(15, generator));
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

std::vector<std::uint8_t> LiteralKeyBytes(const std::string& password,
                                          std::size_t count) {
  KeystreamRegister reg = Loaded(password);
  std::vector<std::uint8_t> key;
  for (std::optional<std::uint8_t> byte;
       key.size() < count && (byte = cipher::NextKeyByte(reg));) {
    key.push_back(*byte);
  }
  return key;
}

// Draws `count` bytes in pieces of varying size, as a job would, the first
// twenty one byte at a time.
template <class Generator>
std::vector<std::uint8_t> Draw(Generator& generator, std::size_t count,
                               std::uint32_t seed) {
  std::vector<std::uint8_t> key(count);
  std::mt19937 random(seed);
  std::size_t done = 0;
  for (std::size_t piece = 0, got = 0; done < count && got == piece;) {
    piece = std::min<std::size_t>(count - done,
                                  done < 20 ? 1 : 1 + random() % 300000);
    got = generator.Generate(key.data() + done, piece);
    done += got;
  }
  key.resize(done);
  return key;
}

// Runs a check with the portable filter and, where there is one, the BMI2
// filter.
template <class Check>
void ForEachFilter(Check check) {
  cipher::UsePortablePairFilter(true);
  check();
  cipher::UsePortablePairFilter(false);
  if (cipher::PairFilterUsesBmi2()) {
    check();
  }
}

// --- The register as an integer -------------------------------------------

// P * 2^-1 mod q one output at a time, written from the definition of the
// connection integer: the register's output after its first 255 bits.
void HalveModQ(Integer256& p) {
  const bool odd = (p[0] & 1U) != 0;
  cipher::Uint128 carry = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    carry += cipher::Uint128{p[k]} + (odd ? cipher::kConnectionInteger[k] : 0);
    p[k] = static_cast<std::uint64_t>(carry);
    carry >>= 64U;
  }
  for (std::size_t k = 0; k < 4; ++k) {
    p[k] = (p[k] >> 1U) | (k < 3 ? p[k + 1] << 63U : 0U);
  }
}

TEST(RegisterInteger, SkipWordsEqualsStepping) {
  Integer256 p = cipher::InitialIntegerState(Loaded("\x80skip-ahead-key"));
  Integer256 stepped = p;
  for (std::uint64_t words = 0; words < 300; ++words) {
    ASSERT_EQ(cipher::SkipWords(p, words), stepped) << words;
    cipher::Advance64(stepped);
  }
  // Jumps compose, far beyond any file.
  const std::uint64_t a = (std::uint64_t{1} << 40U) + 12345;
  const std::uint64_t b = (std::uint64_t{1} << 50U) + 777;
  EXPECT_EQ(cipher::SkipWords(cipher::SkipWords(p, a), b),
            cipher::SkipWords(p, a + b));
}

// --- Key bytes against the literal register --------------------------------

class EveryLength : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EveryLength, FastKeyBytesEqualTheLiteralRegister) {
  const std::size_t length = GetParam();
  // Characters below and above 0x80 alternate; the first is above, so a
  // sixteen-character password starts with the carry set.
  std::mt19937 random(11 * length);
  std::string password;
  for (std::size_t i = 0; i < length; ++i) {
    password +=
        static_cast<char>((i % 2 == 0 ? 0x80U : 0U) | (1 + random() % 127));
  }
  const std::vector<std::uint8_t> literal =
      LiteralKeyBytes(password, kStreamBytes);
  ASSERT_EQ(literal.size(), kStreamBytes);
  // Blocks down to one word (a hand-off every few bytes: fewer bytes there)
  // and up to eight generator threads.
  constexpr std::uint64_t kBlockWords[] = {1, 2, 3, 64, 1000, 4097, 1U << 16U};
  constexpr unsigned kThreads[] = {0, 1, 2, 3, 8};
  const std::uint64_t words = kBlockWords[length % 7];
  const auto bytes = static_cast<std::ptrdiff_t>(words < 64 ? kStreamBytes / 64
                                                            : kStreamBytes);
  const std::vector<std::uint8_t> head(literal.begin(),
                                       literal.begin() + bytes);
  ForEachFilter([&] {
    cipher::FastKeystream fast(Loaded(password));
    EXPECT_EQ(Draw(fast, kStreamBytes, length), literal);
    cipher::KeystreamRing ring(Loaded(password), kThreads[length % 5], words);
    EXPECT_EQ(Draw(ring, head.size(), length + 1), head);
  });
}

INSTANTIATE_TEST_SUITE_P(FastKeystream, EveryLength,
                         ::testing::Range<std::size_t>(1, 17));

// --- The guard against a keystream that stops ------------------------------

// The key bytes of NextKeyByte's pair filter, on the raw bits of a state
// produced one output at a time: `low`'s 63 bits, then bit 0 of P,
// P*2^-1, ...
std::vector<std::uint8_t> ModelKeyBytes(const PairFilterState& start,
                                        std::size_t count) {
  Integer256 p = start.p;
  int lowUsed = 0;
  auto nextBit = [&]() -> unsigned {
    if (lowUsed < 63) {
      return (start.low >> lowUsed++) & 1U;
    }
    const auto bit = static_cast<unsigned>(p[0] & 1U);
    HalveModQ(p);
    return bit;
  };
  std::vector<std::uint8_t> key;
  while (key.size() < count) {
    unsigned group = 0;
    std::uint64_t rejected = 0;
    for (unsigned kept = 0; kept < 8;) {
      const unsigned a = nextBit();
      if (a != nextBit()) {
        rejected = 0;
        group |= a << kept++;
      } else if (++rejected == start.maxRejected) {
        return key;
      }
    }
    key.push_back(test::ReferenceRegister::PackGroup(group));
  }
  return key;
}

TEST(FastKeystream, GuardCountsRunsAcrossWordsAndThreads) {
  // P = k * 2^192 starts with three zero words: runs of about a hundred
  // rejected pairs, then ordinary output; P = 0 stays 0, and after `low`
  // the output is zero for ever. Bounds around the run's length make the
  // filter stop at every place a run can end.
  std::mt19937_64 random(5);
  for (int round = 0; round < 12; ++round) {
    PairFilterState start;
    const std::uint64_t k = (random() >> 3U) | 1U;
    start.p = {0, 0, 0, round % 3 == 0 ? 0 : k};
    // Some accepted pairs first, in a varying number.
    start.low = random() & ((std::uint64_t{1} << (random() % 63)) - 1);
    std::vector<std::uint64_t> bounds = {20000, cipher::kMaxDiscardedPairs};
    for (std::uint64_t bound = 32; bound < 200; bound += 1 + round % 7) {
      bounds.push_back(bound);
    }
    // Two raw words 0x9999...: 64 bits, 1010..., at one write-out.
    if (round == 1) {
      start.low = 0x1999'9999'9999'9999U;
      start.p = {0x3333'3333'3333'3333U, 1, 0, 0};
    }
    for (const std::uint64_t bound : bounds) {
      start.maxRejected = bound;
      const std::vector<std::uint8_t> model = ModelKeyBytes(start, 64);
      ForEachFilter([&] {
        cipher::FastKeystream fast(start);
        std::vector<std::uint8_t> key(64);
        key.resize(fast.Generate(key.data(), key.size()));
        ASSERT_EQ(key, model) << round << " " << bound;
        for (const std::uint64_t words : {1U, 2U, 3U}) {
          cipher::KeystreamRing ring(start, words == 2 ? 0 : 2, words);
          std::vector<std::uint8_t> split(64);
          split.resize(ring.Generate(split.data(), split.size()));
          ASSERT_EQ(split, model) << round << " " << words;
        }
      });
    }
  }
}

TEST(FastKeystream, KeyBytesOfGroupsAtEveryBitOffset) {
  std::vector<std::uint8_t> groups(1000);
  std::vector<std::uint8_t> data(groups.size() - 8);
  std::mt19937 random(3);
  std::generate(groups.begin(), groups.end(), [&] { return random(); });
  std::generate(data.begin(), data.end(), [&] { return random(); });
  for (unsigned shift = 0; shift < 8; ++shift) {
    std::vector<std::uint8_t> combined = data;
    cipher::CombineWithShiftedGroups(combined.data(), groups.data() + 8,
                                     combined.size(), shift);
    for (std::size_t i = 0; i < data.size(); ++i) {
      // Group i starts `shift` bits before groups[8 + i].
      const unsigned pair = groups[7 + i] | (groups[8 + i] << 8U);
      ASSERT_EQ(combined[i], data[i] ^ test::ReferenceRegister::PackGroup(
                                           pair >> (8 - shift)))
          << shift << " " << i;
    }
  }
}

}  // namespace

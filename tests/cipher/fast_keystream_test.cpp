// The fast generator against the literal register: the 2-adic view of the
// register, the word-wise pair filter with its guard, and the ring of blocks
// made by generator threads, each compared with an independent model.

#include "cipher/fast_keystream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cipher/key_loading.h"
#include "cipher/keystream_ring.h"
#include "cipher/register_integer.h"

#ifndef PROGRAM_KEYSTREAM_TEST_BYTES
#define PROGRAM_KEYSTREAM_TEST_BYTES (1 << 20)
#endif

namespace {

using cipher::Integer256;
using cipher::KeystreamRegister;
using cipher::PairFilterState;

// Key bytes compared per password; smaller under the sanitizers.
constexpr std::size_t kStreamBytes = PROGRAM_KEYSTREAM_TEST_BYTES;

KeystreamRegister Loaded(const std::string& password) {
  KeystreamRegister reg;
  reg.Reset();
  cipher::LoadKey(reg, password);
  return reg;
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

// Draws `count` bytes in pieces of varying size, as a job would.
template <class Generator>
std::vector<std::uint8_t> Draw(Generator& generator, std::size_t count,
                               std::uint32_t seed) {
  std::vector<std::uint8_t> key(count);
  std::mt19937 random(seed);
  std::size_t done = 0;
  for (std::size_t piece = 0, got = 0; done < count && got == piece;) {
    piece = std::min<std::size_t>(count - done, 1 + random() % 300000);
    got = generator.Generate(key.data() + done, piece);
    done += got;
  }
  key.resize(done);
  return key;
}

std::string Password(std::size_t length, std::uint32_t seed, bool high) {
  std::mt19937 random(seed);
  std::string password;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned value = 1 + random() % 255;
    password += static_cast<char>(high ? value | 0x80U : value & 0x7FU);
  }
  return password;
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
// connection integer: the oracle for Advance64 and SkipWords.
void HalveModQ(Integer256& p) {
  const bool odd = (p[0] & 1U) != 0;
  cipher::Uint128 carry = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    carry += p[k];
    if (odd) {
      carry += cipher::kConnectionInteger[k];
    }
    p[k] = static_cast<std::uint64_t>(carry);
    carry >>= 64U;
  }
  for (std::size_t k = 0; k < 4; ++k) {
    p[k] = (p[k] >> 1U) | (k < 3 ? p[k + 1] << 63U : 0U);
  }
}

TEST(RegisterInteger, LiteralOutputIsTheCellsThenTheLowWordsOfP) {
  const std::string sixteenHigh = Password(16, 99, true);
  for (const std::string& password :
       {std::string("a"), std::string("\xFF"), std::string("parola"),
        std::string("\xCF\xE0\xF0\xEE\xEB\xE0"),
        std::string("\x80zzzzzzzzzzzzzz"), sixteenHigh}) {
    KeystreamRegister reg = Loaded(password);
    const Integer256 cells = cipher::CellsAsInteger(reg);
    Integer256 p = cipher::InitialIntegerState(reg);
    for (int i = 0; i < 255; ++i) {
      ASSERT_EQ(reg.Step(), (cells[i / 64] >> (i % 64)) & 1U) << i;
    }
    for (int word = 0; word < 200; ++word) {
      ASSERT_LT(p[3], cipher::kConnectionInteger[3] + 1);
      const std::uint64_t b = p[0];
      for (int bit = 0; bit < 64; ++bit) {
        ASSERT_EQ(reg.Step(), (b >> bit) & 1U) << password << " " << word;
      }
      Integer256 halved = p;
      for (int i = 0; i < 64; ++i) {
        HalveModQ(halved);
      }
      cipher::Advance64(p);
      ASSERT_EQ(p, halved);
    }
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
  Integer256 far = cipher::SkipWords(p, a);
  Integer256 farStepped = far;
  for (int i = 0; i < 5; ++i) {
    cipher::Advance64(farStepped);
  }
  EXPECT_EQ(cipher::SkipWords(p, a + 5), farStepped);
}

// --- Key bytes against the literal register --------------------------------

class EveryLength : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EveryLength, FastKeyBytesEqualTheLiteralRegister) {
  const std::size_t length = GetParam();
  // Characters below and above 0x80 alternate; the first is above, so a
  // sixteen-character password starts with the carry set.
  std::string password = Password(length, 11 * length, false);
  for (std::size_t i = 0; i < length; i += 2) {
    password[i] = static_cast<char>(password[i] | 0x80);
  }
  const std::vector<std::uint8_t> literal =
      LiteralKeyBytes(password, kStreamBytes);
  ASSERT_EQ(literal.size(), kStreamBytes);
  constexpr std::uint64_t kBlockWords[] = {64, 1000, 4097, 1U << 16U};
  ForEachFilter([&] {
    cipher::FastKeystream fast(Loaded(password));
    EXPECT_EQ(Draw(fast, kStreamBytes, length), literal);
    cipher::KeystreamRing ring(Loaded(password), length % 3,
                               kBlockWords[length % 4]);
    EXPECT_EQ(Draw(ring, kStreamBytes, length + 1), literal);
  });
}

INSTANTIATE_TEST_SUITE_P(FastKeystream, EveryLength,
                         ::testing::Range<std::size_t>(1, 17));

TEST(FastKeystream, ManyRandomPasswords) {
  std::mt19937 random(2024);
  for (int round = 0; round < 300; ++round) {
    std::string password = Password(1 + random() % 16, random(), false);
    for (char& c : password) {
      c = static_cast<char>(c | ((random() & 1U) << 7U));
    }
    if (cipher::KeystreamBecomesConstant(Loaded(password))) {
      continue;  // a NUL password; the guard has its own test
    }
    const std::size_t count = 300 + random() % 700;
    const std::vector<std::uint8_t> literal = LiteralKeyBytes(password, count);
    ForEachFilter([&] {
      cipher::FastKeystream fast(Loaded(password));
      std::vector<std::uint8_t> key(count);
      // Byte by byte at first, then the rest at once.
      for (std::size_t i = 0; i < 20; ++i) {
        ASSERT_EQ(fast.Generate(&key[i], 1), 1U);
      }
      ASSERT_EQ(fast.Generate(key.data() + 20, count - 20), count - 20);
      ASSERT_EQ(key, literal) << round;
    });
  }
}

TEST(KeystreamRing, EqualsOneThreadForAnyBlockLengthAndThreads) {
  const std::string password = "\xE4ve \xED\xE8\xF8\xEA\xE8";
  const std::size_t count = kStreamBytes / 4;
  cipher::FastKeystream single(Loaded(password));
  const std::vector<std::uint8_t> expected = Draw(single, count, 1);
  std::vector<std::uint8_t> data(count);
  std::mt19937 random(8);
  std::generate(data.begin(), data.end(), [&] { return random(); });
  for (const std::uint64_t words : {1U, 2U, 3U, 64U, 1000U, 4097U}) {
    // A seam every few words makes a hand-off every few bytes: fewer bytes.
    const std::size_t bytes = words < 64 ? count / 16 : count;
    const std::vector<std::uint8_t> head(expected.data(),
                                         expected.data() + bytes);
    for (const unsigned threads : {0U, 1U, 2U, 3U, 8U}) {
      cipher::KeystreamRing ring(Loaded(password), threads, words);
      EXPECT_EQ(Draw(ring, bytes, threads), head) << words << " " << threads;
    }
    // Combining is key bytes XOR data, in pieces of any length.
    cipher::KeystreamRing ring(Loaded(password), 2, words);
    std::vector<std::uint8_t> combined(data.data(), data.data() + bytes);
    for (std::size_t done = 0; done < bytes; done += words) {
      ring.Combine(combined.data() + done,
                   std::min<std::size_t>(words, bytes - done));
    }
    std::transform(combined.begin(), combined.end(), data.begin(),
                   combined.begin(), std::bit_xor<>());
    EXPECT_EQ(combined, head) << words;
  }
}

// --- The guard against a keystream that stops ------------------------------

TEST(FastKeystream, StopsWhereNextKeyByteGivesUp) {
  // 0x01 leaves one set cell and then zeros for ever; NUL leaves nothing.
  for (const std::string& password :
       {std::string("\x01"), std::string(1, '\0'), std::string(3, '\0')}) {
    ASSERT_TRUE(LiteralKeyBytes(password, 1).empty());
    ForEachFilter([&] {
      cipher::FastKeystream fast(Loaded(password));
      std::uint8_t key[64] = {};
      EXPECT_EQ(fast.Generate(key, sizeof key), 0U);
      EXPECT_EQ(fast.Generate(key, 1), 0U);
      for (const unsigned threads : {0U, 2U}) {
        cipher::KeystreamRing ring(Loaded(password), threads, 4);
        std::vector<std::uint8_t> many(100000);
        EXPECT_EQ(ring.Generate(many.data(), many.size()), 0U);
      }
    });
  }
}

// The pair filter as NextKeyByte runs it, on the raw bits of a state
// produced one output at a time: `low`'s 63 bits, then bit 0 of P,
// P*2^-1, ...
std::vector<std::uint8_t> ModelGroups(const PairFilterState& start,
                                      std::size_t count,
                                      std::uint64_t maxRejected) {
  Integer256 p = start.p;
  std::uint64_t low = start.low;
  int lowLeft = 63;
  auto nextBit = [&]() -> unsigned {
    if (lowLeft > 0) {
      --lowLeft;
      const auto bit = static_cast<unsigned>(low & 1U);
      low >>= 1U;
      return bit;
    }
    const auto bit = static_cast<unsigned>(p[0] & 1U);
    HalveModQ(p);
    return bit;
  };
  std::vector<std::uint8_t> groups;
  while (groups.size() < count) {
    unsigned group = 0;
    int kept = 0;
    std::uint64_t rejected = 0;
    while (kept < 8) {
      const unsigned a = nextBit();
      const unsigned b = nextBit();
      if (a == b) {
        if (++rejected == maxRejected) {
          return groups;
        }
        continue;
      }
      rejected = 0;
      group |= a << kept++;
    }
    groups.push_back(static_cast<std::uint8_t>(group));
  }
  return groups;
}

// Turns groups into key bytes the way NextKeyByte packs them.
std::vector<std::uint8_t> KeyBytesOf(std::vector<std::uint8_t> groups) {
  for (std::uint8_t& g : groups) {
    unsigned byte = 0;
    for (unsigned k = 1; k < 8; ++k) {
      byte |= ((g >> k) & 1U) << (8 - k);
    }
    g = static_cast<std::uint8_t>(byte);
  }
  return groups;
}

TEST(FastKeystream, GuardCountsRunsAcrossWordsAndThreads) {
  // P = k * 2^192 starts with three zero words: runs of about a hundred
  // rejected pairs, then ordinary output. Bounds around the run's length
  // make the filter stop at every place a run can end.
  std::mt19937_64 random(5);
  for (int round = 0; round < 12; ++round) {
    PairFilterState start;
    start.p = {0, 0, 0, (random() >> 3U) | 1U};
    // Some accepted pairs first, in a varying number.
    start.low = random() & ((std::uint64_t{1} << (random() % 63)) - 1);
    std::vector<std::uint64_t> bounds = {20000, cipher::kMaxDiscardedPairs};
    for (std::uint64_t bound = 32; bound < 200; bound += 1 + round % 7) {
      bounds.push_back(bound);
    }
    // P = 0 stays 0: after `low` the output is zero for ever.
    if (round % 3 == 0) {
      start.p = {};
    }
    // Two raw words 0x9999...: 64 bits, 1010..., at one write-out.
    if (round == 1) {
      start.low = 0x1999'9999'9999'9999U;
      start.p = {0x3333'3333'3333'3333U, 1, 0, 0};
    }
    for (const std::uint64_t bound : bounds) {
      start.maxRejected = bound;
      const std::vector<std::uint8_t> model = ModelGroups(start, 64, bound);
      ForEachFilter([&] {
        cipher::FastKeystream fast(start);
        std::vector<std::uint8_t> key(64);
        key.resize(fast.Generate(key.data(), key.size()));
        ASSERT_EQ(key, KeyBytesOf(model)) << round << " " << bound;
        for (const std::uint64_t words : {1U, 2U, 3U}) {
          cipher::KeystreamRing ring(start, words == 2 ? 0 : 2, words);
          std::vector<std::uint8_t> split(64);
          split.resize(ring.Generate(split.data(), split.size()));
          ASSERT_EQ(split, KeyBytesOf(model)) << round << " " << words;
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
    // Group i starts `shift` bits before groups[8 + i].
    std::vector<std::uint8_t> shifted(data.size());
    for (std::size_t i = 0; i < shifted.size(); ++i) {
      const unsigned pair = groups[7 + i] | (groups[8 + i] << 8U);
      shifted[i] = static_cast<std::uint8_t>(pair >> (8 - shift));
    }
    const std::vector<std::uint8_t> key = KeyBytesOf(shifted);
    std::vector<std::uint8_t> combined = data;
    cipher::CombineWithShiftedGroups(combined.data(), groups.data() + 8,
                                     combined.size(), shift);
    for (std::size_t i = 0; i < data.size(); ++i) {
      ASSERT_EQ(combined[i], data[i] ^ key[i]) << shift << " " << i;
      ASSERT_EQ(key[i] & 1U, 0U);
    }
  }
}

}  // namespace

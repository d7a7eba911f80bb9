// Groups to key bytes 32 at a time with AVX2, for processors that have it.
// Built with -mavx2 where the compiler targets x86-64; only called when the
// processor has it. Nothing here may be an inline function with external
// linkage (a standard template, say): the linker could keep this file's
// AVX2 copy for the whole program. Not on Windows, where GCC may spill
// 32-byte vectors to a stack that is only 16-byte aligned.

#include <cstddef>
#include <cstdint>

#if defined(__AVX2__) && !defined(_WIN32)
#define PROGRAM_KEY_BYTES_AVX2 1
#include <immintrin.h>
#endif

namespace cipher {

#ifdef PROGRAM_KEY_BYTES_AVX2

namespace {

// The key byte is the group's bits reversed, shifted up by one:
// (reverse4(low nibble) << 5 | reverse4(high nibble) << 1) & 0xFF. Two
// lookups of sixteen entries, once per 128-bit lane.
constexpr std::uint8_t Reversed4(unsigned n) {
  return static_cast<std::uint8_t>(((n & 1U) << 3U) | ((n & 2U) << 1U) |
                                   ((n & 4U) >> 1U) | ((n & 8U) >> 3U));
}

struct NibbleTables {
  alignas(32) std::uint8_t low[32];
  alignas(32) std::uint8_t high[32];
};

constexpr NibbleTables MakeTables() {
  NibbleTables tables{};
  for (unsigned i = 0; i < 32; ++i) {
    tables.low[i] = static_cast<std::uint8_t>(Reversed4(i % 16) << 5U);
    tables.high[i] = static_cast<std::uint8_t>(Reversed4(i % 16) << 1U);
  }
  return tables;
}

constexpr NibbleTables kTables = MakeTables();

__m256i KeyBytes(__m256i groups) {
  const __m256i low = _mm256_load_si256(
      reinterpret_cast<const __m256i*>(kTables.low));  // NOLINT
  const __m256i high = _mm256_load_si256(
      reinterpret_cast<const __m256i*>(kTables.high));  // NOLINT
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i lowNibbles = _mm256_and_si256(groups, nibble);
  const __m256i highNibbles =
      _mm256_and_si256(_mm256_srli_epi16(groups, 4), nibble);
  return _mm256_or_si256(_mm256_shuffle_epi8(low, lowNibbles),
                         _mm256_shuffle_epi8(high, highNibbles));
}

__m256i Load(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));  // NOLINT
}

void Store(std::uint8_t* p, __m256i value) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), value);  // NOLINT
}

}  // namespace

bool Avx2Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

std::size_t GroupsToKeyBytesAvx2(std::uint8_t* bytes, std::size_t count) {
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    Store(bytes + i, KeyBytes(Load(bytes + i)));
  }
  return i;
}

std::size_t CombineWithShiftedGroupsAvx2(std::uint8_t* data,
                                         const std::uint8_t* groups,
                                         std::size_t count, unsigned shift) {
  // Each 64-bit lane moves up by `shift`; its low bits come from the top of
  // the eight bytes before it. Without a shift those are not read.
  const __m128i up = _mm_cvtsi32_si128(static_cast<int>(shift));
  const __m128i down = _mm_cvtsi32_si128(static_cast<int>(64 - shift));
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    __m256i g = Load(groups + i);
    if (shift != 0) {
      g = _mm256_or_si256(_mm256_sll_epi64(g, up),
                          _mm256_srl_epi64(Load(groups + i - 8), down));
    }
    Store(data + i, _mm256_xor_si256(Load(data + i), KeyBytes(g)));
  }
  return i;
}

#else

bool Avx2Available() { return false; }

std::size_t GroupsToKeyBytesAvx2(std::uint8_t* /*bytes*/,
                                 std::size_t /*count*/) {
  return 0;
}

std::size_t CombineWithShiftedGroupsAvx2(std::uint8_t* /*data*/,
                                         const std::uint8_t* /*groups*/,
                                         std::size_t /*count*/,
                                         unsigned /*shift*/) {
  return 0;
}

#endif

}  // namespace cipher

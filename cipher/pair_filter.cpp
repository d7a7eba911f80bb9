// The portable pair filter, the choice of the BMI2 one where the processor
// has it, and the groups-to-key-bytes step.

#include "cipher/pair_filter.h"

#include <array>
#include <atomic>
#include <cstring>

#include "cipher/pair_filter_kernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace cipher {

std::size_t FillGroupsBmi2(PairFilterState& state, std::uint8_t* groups,
                           std::size_t count);
std::size_t FilterWordsBmi2(PairFilterState& state, std::uint64_t words,
                            std::uint8_t* groups);
bool Bmi2Available();
bool Avx2Available();
std::size_t GroupsToKeyBytesAvx2(std::uint8_t* bytes, std::size_t count);
std::size_t CombineWithShiftedGroupsAvx2(std::uint8_t* data,
                                         const std::uint8_t* groups,
                                         std::size_t count, unsigned shift);

namespace {

// For each byte of a raw word (four pairs): the first bits of its unequal
// pairs, packed from bit 0, in bits 0..3 and their number in bits 4..6.
constexpr std::array<std::uint8_t, 256> kAcceptedPerByte = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned bits = 0;
    unsigned count = 0;
    for (unsigned pair = 0; pair < 4; ++pair) {
      const unsigned first = (byte >> (2 * pair)) & 1U;
      const unsigned second = (byte >> (2 * pair + 1)) & 1U;
      if (first != second) {
        bits |= first << count;
        ++count;
      }
    }
    table[byte] = static_cast<std::uint8_t>(bits | (count << 4U));
  }
  return table;
}();

struct TableExtract {
  std::uint64_t operator()(std::uint64_t word, std::uint64_t /*mask*/,
                           unsigned& count) const {
    std::uint64_t bits = 0;
    unsigned n = 0;
    for (unsigned k = 0; k < 8; ++k) {
      const std::uint8_t entry = kAcceptedPerByte[(word >> (8 * k)) & 0xFFU];
      bits |= static_cast<std::uint64_t>(entry & 0x0FU) << n;
      n += entry >> 4U;
    }
    count = n;
    return bits;
  }
  static void FilterPairs(LoopRegisters& r, std::uint64_t pairs) {
    FilterPairsWith<TableExtract>(r, pairs);
  }
};

using FillFunction = std::size_t (*)(PairFilterState&, std::uint8_t*,
                                     std::size_t);
using WordsFunction = std::size_t (*)(PairFilterState&, std::uint64_t,
                                      std::uint8_t*);

const bool kHasBmi2 = Bmi2Available();
const bool kHasAvx2 = Avx2Available();
std::atomic<bool> useBmi2{kHasBmi2};
// AVX2 for the key bytes goes with the pext filter: both or neither.
std::atomic<bool> useAvx2{kHasBmi2 && kHasAvx2};

// Bit k of every byte to bit 8 - k; bit 0 drops out.
inline std::uint64_t KeyBytesOfGroups(std::uint64_t g) {
  g = ((g >> 1U) & 0x5555'5555'5555'5555U) |
      ((g & 0x5555'5555'5555'5555U) << 1U);
  g = ((g >> 2U) & 0x3333'3333'3333'3333U) |
      ((g & 0x3333'3333'3333'3333U) << 2U);
  g = ((g >> 4U) & 0x0F0F'0F0F'0F0F'0F0FU) |
      ((g & 0x0F0F'0F0F'0F0F'0F0FU) << 4U);
  return (g & 0x7F7F'7F7F'7F7F'7F7FU) << 1U;  // bytes reversed, then << 1
}

inline std::uint8_t KeyByteOfGroup(std::uint8_t g) {
  return static_cast<std::uint8_t>(KeyBytesOfGroups(g));
}

}  // namespace

std::size_t FillGroups(PairFilterState& state, std::uint8_t* groups,
                       std::size_t count) {
  return useBmi2.load(std::memory_order_relaxed)
             ? FillGroupsBmi2(state, groups, count)
             : FillGroupsWith<TableExtract>(state, groups, count);
}

std::size_t FilterWords(PairFilterState& state, std::uint64_t words,
                        std::uint8_t* groups) {
  return useBmi2.load(std::memory_order_relaxed)
             ? FilterWordsBmi2(state, words, groups)
             : FilterWordsWith<TableExtract>(state, words, groups);
}

bool FilterOneWord(PairFilterState& state, std::uint64_t word) {
  return Accept<TableExtract>(state, word, 0);
}

bool CanPrefetchForWrite() {
#if defined(__x86_64__) && defined(__GNUC__)
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  return __get_cpuid(0x8000'0001U, &eax, &ebx, &ecx, &edx) != 0 &&
         (ecx & bit_PRFCHW) != 0;
#else
  return false;
#endif
}

bool PairFilterUsesBmi2() { return useBmi2.load(); }

void UsePortablePairFilter(bool portable) {
  useBmi2.store(kHasBmi2 && !portable);
  useAvx2.store(kHasBmi2 && kHasAvx2 && !portable);
}

// Sixteen groups at a time in vector registers where the compiler has them
// (SSE2 on every x86-64, NEON on ARM); the arithmetic is the same as for
// one word.
using Vector = std::uint64_t __attribute__((vector_size(16)));

inline Vector KeyBytesOfGroups(Vector g) {
  const Vector m1 = {0x5555'5555'5555'5555U, 0x5555'5555'5555'5555U};
  const Vector m2 = {0x3333'3333'3333'3333U, 0x3333'3333'3333'3333U};
  const Vector m4 = {0x0F0F'0F0F'0F0F'0F0FU, 0x0F0F'0F0F'0F0F'0F0FU};
  const Vector m7 = {0x7F7F'7F7F'7F7F'7F7FU, 0x7F7F'7F7F'7F7F'7F7FU};
  g = ((g >> 1U) & m1) | ((g & m1) << 1U);
  g = ((g >> 2U) & m2) | ((g & m2) << 2U);
  g = ((g >> 4U) & m4) | ((g & m4) << 4U);
  return (g & m7) << 1U;
}

void GroupsToKeyBytes(std::uint8_t* bytes, std::size_t count) {
  std::size_t i = useAvx2.load(std::memory_order_relaxed)
                      ? GroupsToKeyBytesAvx2(bytes, count)
                      : 0;
  for (; i + 16 <= count; i += 16) {
    Vector g;
    std::memcpy(&g, bytes + i, 16);
    g = KeyBytesOfGroups(g);
    std::memcpy(bytes + i, &g, 16);
  }
  for (; i < count; ++i) {
    bytes[i] = KeyByteOfGroup(bytes[i]);
  }
}

void CombineWithGroups(std::uint8_t* data, const std::uint8_t* groups,
                       std::size_t count) {
  std::size_t i = useAvx2.load(std::memory_order_relaxed)
                      ? CombineWithShiftedGroupsAvx2(data, groups, count, 0)
                      : 0;
  for (; i + 16 <= count; i += 16) {
    Vector g;
    Vector d;
    std::memcpy(&g, groups + i, 16);
    std::memcpy(&d, data + i, 16);
    d ^= KeyBytesOfGroups(g);
    std::memcpy(data + i, &d, 16);
  }
  for (; i < count; ++i) {
    data[i] ^= KeyByteOfGroup(groups[i]);
  }
}

void CombineWithShiftedGroups(std::uint8_t* data, const std::uint8_t* groups,
                              std::size_t count, unsigned shift) {
  if (shift == 0) {
    CombineWithGroups(data, groups, count);
    return;
  }
  // Each 64-bit lane moves up by `shift`; its low bits come from the top of
  // the eight bytes before it.
  std::size_t i = useAvx2.load(std::memory_order_relaxed)
                      ? CombineWithShiftedGroupsAvx2(data, groups, count, shift)
                      : 0;
  for (; i + 16 <= count; i += 16) {
    Vector here;
    Vector before;
    Vector d;
    std::memcpy(&here, groups + i, 16);
    std::memcpy(&before, groups + i - 8, 16);
    std::memcpy(&d, data + i, 16);
    d ^= KeyBytesOfGroups((here << shift) | (before >> (64U - shift)));
    std::memcpy(data + i, &d, 16);
  }
  for (; i < count; ++i) {
    const unsigned group = (unsigned{groups[i]} << shift) |
                           (unsigned{*(groups + i - 1)} >> (8U - shift));
    data[i] ^= KeyByteOfGroup(static_cast<std::uint8_t>(group));
  }
}

}  // namespace cipher

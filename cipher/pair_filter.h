#pragma once

// The pair filter run on the register's output 64 bits at a time.
//
// Output bits come as raw words: bit i of the stream is bit (i mod 64) of
// word (i div 64), so every pair (bits 2k, 2k+1) lies within one word. The
// first 255 bits are the loaded cells; from bit 255 on they are the low
// words of the register integer (register_integer.h), which therefore sit
// one bit higher in the raw words than in P.
//
// Accepted bits are collected into groups of eight, the first accepted bit
// in bit 0; GroupsToKeyBytes turns groups into the key bytes NextKeyByte
// gives.

#include <cstddef>
#include <cstdint>

#include "cipher/key_loading.h"
#include "cipher/register_integer.h"

namespace cipher {

// Where a pair filter stands in the register's output.
struct PairFilterState {
  // The register integer of the next raw word, and the 63 bits of that word
  // taken from the previous integer's low word.
  Integer256 p{};
  std::uint64_t low = 0;

  // Accepted bits not yet in a group (fewer than 8 between calls unless
  // the caller asked for no more groups), first accepted in bit 0.
  std::uint64_t bits = 0;
  unsigned count = 0;

  // Guard against a keystream that stops yielding: the pair mask (first
  // bits of unequal pairs) of the last word that had one, and the number
  // of words since. The start value counts no rejected pair.
  std::uint64_t lastAccepting = std::uint64_t{1} << 62U;
  std::uint64_t emptyWords = 0;
  // Rejected pairs in a row that end the keystream, as in NextKeyByte. At
  // least 32, so that a run within one word never reaches it.
  std::uint64_t maxRejected = kMaxDiscardedPairs;
  bool stopped = false;
};

// The next raw word; moves past it.
static inline std::uint64_t NextRawWord(PairFilterState& state) {
  const std::uint64_t b = state.p[0];
  const std::uint64_t word = state.low | (b << 63U);
  state.low = b >> 1U;
  Advance64(state.p);
  return word;
}

// Bit 2k set where pair k of the word is unequal.
static inline std::uint64_t UnequalPairs(std::uint64_t word) {
  return (word ^ (word >> 1U)) & 0x5555'5555'5555'5555U;
}

// Fills `count` groups from the register output; fewer only when the
// keystream has stopped yielding (state.stopped), and none after that.
std::size_t FillGroups(PairFilterState& state, std::uint8_t* groups,
                       std::size_t count);

// Filters the next `words` raw words, writes every completed group and
// keeps the rest in state.bits (fewer than 8). `groups` must have room for
// 4 * words + 8 bytes. Returns the groups written; stops early, with
// state.stopped, when the keystream stops yielding.
std::size_t FilterWords(PairFilterState& state, std::uint64_t words,
                        std::uint8_t* groups);

// Filters one given raw word into state.bits (count must be below 8
// before; up to 39 after). False, with state.stopped, when the keystream
// stopped before this word yielded a bit.
bool FilterOneWord(PairFilterState& state, std::uint64_t word);

// Key bytes from groups, in place: bit k of a group (k = 1..7) goes to bit
// 8 - k, bit 0 is shifted out and bit 0 of the key byte is 0.
void GroupsToKeyBytes(std::uint8_t* bytes, std::size_t count);

// data[i] ^= key byte of groups[i].
void CombineWithGroups(std::uint8_t* data, const std::uint8_t* groups,
                       std::size_t count);

// The same for a group stream that starts `shift` (0..7) bits early, in the
// top bits of groups[-1]: group i is bits 8i - shift .. 8i + 7 - shift,
// counted from bit 0 of groups[0]. groups[-8] .. groups[-1] must be
// readable.
void CombineWithShiftedGroups(std::uint8_t* data, const std::uint8_t* groups,
                              std::size_t count, unsigned shift);

// True when FillGroups and FilterWords use pext: the processor has BMI2
// and the portable filter has not been asked for.
bool PairFilterUsesBmi2();
// Makes FillGroups and FilterWords use the portable filter (true) or the
// best one the processor has (false), for tests and benchmarks.
void UsePortablePairFilter(bool portable);

}  // namespace cipher

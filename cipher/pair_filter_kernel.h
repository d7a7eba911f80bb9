#pragma once

// The word loop of the pair filter, shared by the portable and the BMI2
// translation units. Each includes it once with its own Extract policy;
// everything here has internal linkage, so the two builds never mix.

#include <bit>
#include <cstring>

#include "cipher/pair_filter.h"

namespace cipher {
namespace {

// Rejected pairs after the last unequal pair of a nonzero mask, and before
// its first one.
inline std::uint64_t RejectedAfter(std::uint64_t mask) {
  return static_cast<std::uint64_t>(__builtin_clzll(mask)) >> 1U;
}
inline std::uint64_t RejectedBefore(std::uint64_t mask) {
  return mask == 0 ? 32
                   : static_cast<std::uint64_t>(__builtin_ctzll(mask)) >> 1U;
}

// True when the run of rejected pairs reaches the bound before this word
// yields a bit. Only called once many empty words have passed.
inline bool RunEndsKeystream(const PairFilterState& state, std::uint64_t mask) {
  const std::uint64_t run = RejectedAfter(state.lastAccepting) +
                            32 * state.emptyWords + RejectedBefore(mask);
  return run >= state.maxRejected;
}

// Empty words before a run can reach the bound: at most 31 rejected pairs
// come before them and 32 in the word at hand.
inline std::uint64_t EmptyWordsWorthChecking(const PairFilterState& state) {
  return state.maxRejected > 63 ? (state.maxRejected - 63) / 32 : 0;
}

// Adds the accepted bits of one raw word to state.bits. False when the
// keystream stops before the word yields a bit.
template <class Extract>
inline bool Accept(PairFilterState& state, std::uint64_t word,
                   std::uint64_t checkFrom) {
  const std::uint64_t mask = UnequalPairs(word);
  if (state.emptyWords >= checkFrom) [[unlikely]] {
    if (RunEndsKeystream(state, mask)) {
      state.stopped = true;
      return false;
    }
  }
  state.emptyWords = mask == 0 ? state.emptyWords + 1 : 0;
  state.lastAccepting = mask == 0 ? state.lastAccepting : mask;
  unsigned added = 0;
  const std::uint64_t accepted = Extract{}(word, mask, added);
  state.bits |= accepted << state.count;
  state.count += added;
  return true;
}

// Writes the 8 low bytes of `value` (little-endian), of which the caller
// keeps the whole ones.
inline void Store8(std::uint8_t* out, std::uint64_t value) {
  if constexpr (std::endian::native != std::endian::little) {
    value = __builtin_bswap64(value);
  }
  std::memcpy(out, &value, 8);
}

// Moves complete groups out of state.bits, at most `room`.
inline std::size_t TakeGroups(PairFilterState& state, std::uint8_t* out,
                              std::size_t room) {
  std::size_t taken = 0;
  while (state.count >= 8 && taken < room) {
    out[taken++] = static_cast<std::uint8_t>(state.bits);
    state.bits >>= 8U;
    state.count -= 8;
  }
  return taken;
}

template <class Extract>
std::size_t FillGroupsWith(PairFilterState& state, std::uint8_t* groups,
                           std::size_t count) {
  std::size_t done = TakeGroups(state, groups, count);
  if (state.stopped) {
    return done;
  }
  const std::uint64_t checkFrom = EmptyWordsWorthChecking(state);
  // Bulk: 8 bytes are stored at a time, at most 4 of them kept.
  PairFilterState s = state;
  while (count - done >= 8) {
    if (!Accept<Extract>(s, NextRawWord(s), checkFrom)) {
      state = s;
      return done;
    }
    Store8(groups + done, s.bits);
    const unsigned whole = s.count >> 3U;
    done += whole;
    s.bits >>= 8 * whole;  // at most 32
    s.count &= 7U;
  }
  while (done < count) {
    if (!Accept<Extract>(s, NextRawWord(s), checkFrom)) {
      break;
    }
    done += TakeGroups(s, groups + done, count - done);
  }
  state = s;
  return done;
}

template <class Extract>
std::size_t FilterWordsWith(PairFilterState& state, std::uint64_t words,
                            std::uint8_t* groups) {
  std::size_t done = TakeGroups(state, groups, 8);
  if (state.stopped) {
    return done;
  }
  const std::uint64_t checkFrom = EmptyWordsWorthChecking(state);
  PairFilterState s = state;
  for (std::uint64_t w = 0; w < words; ++w) {
    if (!Accept<Extract>(s, NextRawWord(s), checkFrom)) {
      break;
    }
    Store8(groups + done, s.bits);
    const unsigned whole = s.count >> 3U;
    done += whole;
    s.bits >>= 8 * whole;  // at most 32
    s.count &= 7U;
  }
  state = s;
  return done;
}

}  // namespace
}  // namespace cipher

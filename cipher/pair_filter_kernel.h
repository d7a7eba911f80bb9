#pragma once

// The word loop of the pair filter, shared by the portable and the BMI2
// translation units. Each includes it once with its own Extract policy;
// everything here has internal linkage, so the two builds never mix.
//
// The bound on rejected pairs in a row costs nothing in the loop: runs of
// that length (thousands of words without an unequal pair) are watched for
// per batch of kBatchWords words. A batch that yields no bit is redone
// word by word with the exact count; so is any stretch that starts inside
// a long run.

#include <bit>
#include <cstring>

#include "cipher/pair_filter.h"

namespace cipher {

// True when the processor has prefetchw (pair_filter.cpp).
bool CanPrefetchForWrite();

// Internal linkage on purpose: each translation unit that includes this
// gets its own copy, built with its own instruction set.
namespace {  // NOLINT(cert-dcl59-cpp,google-build-namespaces)

// NOLINTNEXTLINE(misc-definitions-in-headers)
constexpr std::uint64_t kBatchWords = 256;

// Rejected pairs after the last unequal pair of a nonzero mask, and before
// its first one.
inline std::uint64_t RejectedAfter(std::uint64_t mask) {
  return static_cast<std::uint64_t>(__builtin_clzll(mask)) >> 1U;
}
inline std::uint64_t RejectedBefore(std::uint64_t mask) {
  return mask == 0 ? 32
                   : static_cast<std::uint64_t>(__builtin_ctzll(mask)) >> 1U;
}

// Rejected pairs since the last accepted one.
inline std::uint64_t CurrentRun(const PairFilterState& state) {
  return RejectedAfter(state.lastAccepting) + 32 * state.emptyWords;
}

// Empty words before a run can reach the bound: at most 31 rejected pairs
// come before them and 32 in the word at hand.
inline std::uint64_t EmptyWordsWorthChecking(const PairFilterState& state) {
  return state.maxRejected > 63 ? (state.maxRejected - 63) / 32 : 0;
}

// A batch may skip the count when the run before it plus two batches of
// rejected pairs stays below the bound.
inline bool BatchesAreSafe(const PairFilterState& state,
                           std::uint64_t runBefore) {
  return runBefore + kBatchWords * 64 + 64 < state.maxRejected;
}

// Adds the accepted bits of one raw word to state.bits, keeping the exact
// count of rejected pairs. False when the keystream stops before the word
// yields a bit.
template <class Extract>
inline bool Accept(PairFilterState& state, std::uint64_t word,
                   std::uint64_t checkFrom) {
  const std::uint64_t mask = UnequalPairs(word);
  if (state.emptyWords >= checkFrom) [[unlikely]] {
    if (CurrentRun(state) + RejectedBefore(mask) >= state.maxRejected) {
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

// Asks for the cache lines of [from, from + bytes) ready to be written. A
// ring slot was last read on another core, and a store that must first
// take its line back from there stalls the loop: without this a generator
// thread filtered a quarter slower than one writing memory of its own. A
// hint; the address may lie past the buffer.
inline void PrepareToWrite(const std::uint8_t* from, std::size_t bytes) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool kAvailable = CanPrefetchForWrite();
  if (kAvailable) {
    const auto address = reinterpret_cast<std::uintptr_t>(from);  // NOLINT
    for (std::size_t offset = 0; offset < bytes; offset += 64) {
      asm volatile("prefetchw (%0)" : : "r"(address + offset));
    }
  }
#else
  (void)from;
  (void)bytes;
#endif
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

// The word loop's registers: the register integer, the low word of P before
// it (whose bits 1..63 begin the next raw word; bit 0 is unused), the
// accepted bits not yet in a group (fewer than 8) and where the next group
// goes.
struct LoopRegisters {
  std::uint64_t p0, p1, p2, p3;
  std::uint64_t previous;
  std::uint64_t bits;
  std::uint64_t count;
  std::uint8_t* next;
};

// Appends `n` accepted bits (n + r.count at most 63), writes the whole
// groups and keeps the rest. Eight bytes are stored whatever their number.
inline void Append(LoopRegisters& r, std::uint64_t accepted, std::uint64_t n) {
  const std::uint64_t value = r.bits | (accepted << r.count);
  Store8(r.next, value);
  const std::uint64_t total = r.count + n;
  r.next += total >> 3U;
  r.bits = value >> (total & ~std::uint64_t{7});
  r.count = total & 7U;
}

// The accepted bits of the next raw word, and their number; moves past it.
template <class Extract>
inline std::uint64_t NextAccepted(LoopRegisters& r, unsigned& n) {
  const std::uint64_t b = r.p0;
  const std::uint64_t word = (r.previous >> 1U) | (b << 63U);
  r.previous = b;
  Advance64(r.p0, r.p1, r.p2, r.p3);
  return Extract{}(word, UnequalPairs(word), n);
}

// Two raw words per write-out: their accepted bits are joined first, which
// takes the running count off the path of one of them. Two words can give
// up to 64 bits; above 56 they go out one word at a time.
template <class Extract>
inline void FilterPairsWith(LoopRegisters& r, std::uint64_t pairs) {
#pragma GCC unroll 2
  for (; pairs != 0; --pairs) {
    unsigned n0 = 0;
    unsigned n1 = 0;
    const std::uint64_t a0 = NextAccepted<Extract>(r, n0);
    const std::uint64_t a1 = NextAccepted<Extract>(r, n1);
    if (n0 + n1 > 56) [[unlikely]] {
      Append(r, a0, n0);
      Append(r, a1, n1);
    } else {
      Append(r, a0 | (a1 << n0), n0 + n1);
    }
  }
}

// The loop itself: `words` raw words, no count of rejected pairs, whole
// groups to `out` (room for 4 * words + 8 bytes). state.count must be
// below 8. Returns the groups written. Extract::FilterPairs runs pairs of
// words (FilterPairsWith or a hand-scheduled equal).
template <class Extract>
inline std::size_t FilterBatch(PairFilterState& state, std::uint64_t words,
                               std::uint8_t* out) {
  LoopRegisters r{state.p[0],      state.p[1], state.p[2],  state.p[3],
                  state.low << 1U, state.bits, state.count, out};
  Extract::FilterPairs(r, words / 2);
  if (words % 2 != 0) {
    unsigned n = 0;
    const std::uint64_t accepted = NextAccepted<Extract>(r, n);
    Append(r, accepted, n);
  }
  state.p = {r.p0, r.p1, r.p2, r.p3};
  state.low = r.previous >> 1U;
  state.bits = r.bits;
  state.count = static_cast<unsigned>(r.count);
  return static_cast<std::size_t>(r.next - out);
}

// The count of rejected pairs at the end of a stretch that yielded a bit:
// it depends on that stretch alone.
inline void CountAfterYield(PairFilterState& state, PairFilterState stretch,
                            std::uint64_t words) {
  for (; words != 0; --words) {
    const std::uint64_t mask = UnequalPairs(NextRawWord(stretch));
    state.emptyWords = mask == 0 ? state.emptyWords + 1 : 0;
    state.lastAccepting = mask == 0 ? state.lastAccepting : mask;
  }
}

// Filters `words` raw words with the exact bound, writing whole groups to
// `out` (room for 4 * words + 8). state.count must be below 8. Returns the
// groups written; stops early with state.stopped.
template <class Extract>
std::size_t FilterWordsWith(PairFilterState& state, std::uint64_t words,
                            std::uint8_t* groups) {
  if (state.stopped) {
    return 0;
  }
  const std::uint64_t checkFrom = EmptyWordsWorthChecking(state);
  PairFilterState s = state;
  std::size_t done = 0;
  // Word by word while a run long enough to matter may be going on.
  auto exactly = [&](std::uint64_t limit) {
    std::uint64_t w = 0;
    for (; w < limit; ++w) {
      if (!Accept<Extract>(s, NextRawWord(s), checkFrom)) {
        return w;
      }
      done += TakeGroups(s, groups + done, 8);
      if (BatchesAreSafe(s, CurrentRun(s))) {
        return w + 1;
      }
    }
    return w;
  };
  while (words != 0 && !s.stopped) {
    if (!BatchesAreSafe(s, CurrentRun(s))) {
      words -= exactly(words);
      continue;
    }
    // Batches; each one that yields resets the run within itself.
    PairFilterState lastYielding;
    std::uint64_t lastYieldingWords = 0;
    while (words != 0) {
      const std::uint64_t batch = words < kBatchWords ? words : kBatchWords;
      const PairFilterState start = s;
      const std::size_t before = 8 * done + s.count;
      PrepareToWrite(groups + done + 512, 512);  // the next batch's
      const std::size_t written = FilterBatch<Extract>(s, batch, groups + done);
      if (8 * (done + written) + s.count == before) {
        s = start;  // nothing yielded: redo it with the exact count
        break;
      }
      done += written;
      words -= batch;
      lastYielding = start;
      lastYieldingWords = batch;
    }
    if (lastYieldingWords != 0) {
      CountAfterYield(s, lastYielding, lastYieldingWords);
    }
    if (words != 0) {
      words -= exactly(words < kBatchWords ? words : kBatchWords);
    }
  }
  state = s;
  return done;
}

template <class Extract>
std::size_t FillGroupsWith(PairFilterState& state, std::uint8_t* groups,
                           std::size_t count) {
  std::size_t done = TakeGroups(state, groups, count);
  // Whole stretches of words while even the richest cannot overrun.
  while (!state.stopped && count - done >= 8 + 4 * 64) {
    const std::uint64_t words = (count - done - 8) / 4;
    done += FilterWordsWith<Extract>(state, words, groups + done);
  }
  const std::uint64_t checkFrom = EmptyWordsWorthChecking(state);
  while (!state.stopped && done < count) {
    if (!Accept<Extract>(state, NextRawWord(state), checkFrom)) {
      break;
    }
    done += TakeGroups(state, groups + done, count - done);
  }
  return done;
}

}  // namespace
}  // namespace cipher

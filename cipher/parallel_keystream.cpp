#include "cipher/parallel_keystream.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace cipher {

namespace {

// Rejected pairs at the start of a stretch before its first unequal pair,
// counting no further than `limit`.
std::uint64_t LeadingRejected(PairFilterState start, std::uint64_t words,
                              std::uint64_t limit) {
  std::uint64_t run = 0;
  for (std::uint64_t w = 0; w < words && run < limit; ++w) {
    const std::uint64_t mask = UnequalPairs(NextRawWord(start));
    if (mask != 0) {
      return run + (static_cast<std::uint64_t>(__builtin_ctzll(mask)) >> 1U);
    }
    run += 32;
  }
  return run;
}

std::uint64_t TrailingRejected(const PairFilterState& state) {
  return (static_cast<std::uint64_t>(__builtin_clzll(state.lastAccepting)) >>
          1U) +
         32 * state.emptyWords;
}

// Appends `count` whole bytes to a bit string that has `pending` (< 8)
// bits in `bits`, writing whole bytes to `out`; `bits` keeps the rest.
std::size_t AppendBytes(std::uint64_t& bits, unsigned pending,
                        const std::uint8_t* bytes, std::size_t count,
                        std::uint8_t* out) {
  std::size_t i = 0;
  if (pending == 0) {
    std::memcpy(out, bytes, count);
    return count;
  }
  for (; i + 8 <= count; i += 8) {
    std::uint64_t v = 0;
    std::memcpy(&v, bytes + i, 8);
    const std::uint64_t word = bits | (v << pending);
    std::memcpy(out + i, &word, 8);
    bits = v >> (64 - pending);
  }
  for (; i < count; ++i) {
    const std::uint64_t word = bits | (std::uint64_t{bytes[i]} << pending);
    out[i] = static_cast<std::uint8_t>(word);
    bits = word >> 8U;
  }
  return count;
}

}  // namespace

ParallelKeystream::ParallelKeystream(const KeystreamRegister& loaded,
                                     bool useHelper,
                                     std::uint64_t wordsPerRound,
                                     std::uint64_t ownWordsPerRound)
    : main_(loaded),
      wordsPerRound_(wordsPerRound),
      ownWordsPerRound_(ownWordsPerRound != 0 ? ownWordsPerRound
                                              : wordsPerRound) {
  StartHelper(useHelper);
}

ParallelKeystream::ParallelKeystream(const PairFilterState& start,
                                     bool useHelper,
                                     std::uint64_t wordsPerRound,
                                     std::uint64_t ownWordsPerRound)
    : main_(start),
      wordsPerRound_(wordsPerRound),
      ownWordsPerRound_(ownWordsPerRound != 0 ? ownWordsPerRound
                                              : wordsPerRound) {
  StartHelper(useHelper);
}

void ParallelKeystream::StartHelper(bool useHelper) {
  if (useHelper) {
    round_.resize(4 * (ownWordsPerRound_ + wordsPerRound_) + 16);
    helperGroups_.resize(4 * wordsPerRound_ + 8);
    try {
      helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::system_error&) {
      // No thread to be had: the same key bytes on this one.
    }
  }
}

ParallelKeystream::~ParallelKeystream() {
  if (helper_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    helper_.join();
  }
}

void ParallelKeystream::HelperLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return taskPending_ || quit_; });
    if (quit_) {
      return;
    }
    lock.unlock();
    helperDone_ =
        FilterWords(helperState_, wordsPerRound_, helperGroups_.data());
    lock.lock();
    taskPending_ = false;
    wake_.notify_all();
  }
}

void ParallelKeystream::DispatchHelper() {
  const PairFilterState& mine = main_.state();
  // The helper starts after this thread's stretch, with no bits in
  // hand and no rejected pairs counted.
  PairFilterState start;
  const Integer256 before = SkipWords(mine.p, ownWordsPerRound_ - 1);
  start.low = before[0] >> 1U;
  start.p = before;
  Advance64(start.p);
  start.maxRejected = mine.maxRejected;
  helperStart_ = start;
  dispatchedFrom_ = mine.p;
  dispatched_ = true;
  {
    const std::lock_guard lock(mutex_);
    helperState_ = start;
    taskPending_ = true;
  }
  wake_.notify_all();
}

void ParallelKeystream::WaitForHelper() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !taskPending_; });
}

void ParallelKeystream::RunRound() {
  PairFilterState& mine = main_.state();
  const std::uint64_t words = wordsPerRound_;  // the helper's
  // The helper's stretch may have been started at the end of the last
  // round; not if this thread has drawn further alone since.
  if (dispatched_ && dispatchedFrom_ != mine.p) {
    WaitForHelper();
    dispatched_ = false;
  }
  if (!dispatched_) {
    DispatchHelper();
  }
  const PairFilterState start = helperStart_;

  std::size_t done = FilterWords(mine, ownWordsPerRound_, round_.data());

  WaitForHelper();
  dispatched_ = false;
  roundBegin_ = 0;
  roundEnd_ = done;
  if (mine.stopped) {
    return;
  }
  // The run of rejected pairs across the seam.
  const std::uint64_t trailing = TrailingRejected(mine);
  if (trailing >= mine.maxRejected ||
      LeadingRejected(start, words, mine.maxRejected - trailing) >=
          mine.maxRejected - trailing) {
    mine.stopped = true;
    return;
  }
  const PairFilterState& theirs = helperState_;
  std::uint64_t bits = mine.bits;
  done += AppendBytes(bits, mine.count, helperGroups_.data(), helperDone_,
                      round_.data() + done);
  bits |= theirs.bits << mine.count;
  unsigned count = mine.count + theirs.count;
  if (count >= 8) {
    round_[done++] = static_cast<std::uint8_t>(bits);
    bits >>= 8U;
    count -= 8;
  }
  roundEnd_ = done;

  const bool theyAccepted = theirs.emptyWords < words;
  mine.p = theirs.p;
  mine.low = theirs.low;
  mine.bits = bits;
  mine.count = count;
  mine.stopped = theirs.stopped;
  if (theyAccepted || theirs.stopped) {
    mine.lastAccepting = theirs.lastAccepting;
    mine.emptyWords = theirs.emptyWords;
  } else {
    mine.emptyWords += theirs.emptyWords;
  }
  // The helper goes on with the next round's stretch while the caller
  // uses this one's key bytes.
  if (!mine.stopped) {
    DispatchHelper();
  }
}

std::size_t ParallelKeystream::GenerateGroups(std::uint8_t* groups,
                                              std::size_t count) {
  std::size_t done = 0;
  for (;;) {
    const std::size_t fromRound =
        std::min(count - done, roundEnd_ - roundBegin_);
    if (fromRound > 0) {  // without the helper there is no round buffer
      std::memcpy(groups + done, round_.data() + roundBegin_, fromRound);
    }
    roundBegin_ += fromRound;
    done += fromRound;
    done += main_.TakeReadyGroups(groups + done, count - done);
    // Every request goes through rounds, whose surplus waits in round_:
    // drawing alone would waste the stretch the helper has started.
    if (!helper_.joinable() || done == count || main_.state().stopped) {
      break;
    }
    RunRound();
  }
  return done + main_.GenerateGroups(groups + done, count - done);
}

std::size_t ParallelKeystream::Generate(std::uint8_t* key, std::size_t count) {
  const std::size_t done = GenerateGroups(key, count);
  GroupsToKeyBytes(key, done);
  return done;
}

}  // namespace cipher

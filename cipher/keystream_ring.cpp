#include "cipher/keystream_ring.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

namespace cipher {

namespace {

// Room before a block's groups for the bits that precede them in the
// stream, and after them for the accepted bits that make no whole group
// and for whole-word stores past the end.
constexpr std::size_t kRoomBefore = 8;
constexpr std::size_t kRoomAfter = 32;

// Rejected pairs at the start of a stretch before its first unequal pair,
// counting no further than `limit` (but all of them in a stretch that has
// none, if fewer).
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

// The group that starts `shift` bits before groups[j] (see
// CombineWithShiftedGroups).
unsigned GroupAt(const std::uint8_t* groups, std::size_t j, unsigned shift) {
  const auto here = static_cast<unsigned>(groups[j]);
  if (shift == 0) {
    return here;
  }
  const auto before = static_cast<unsigned>(*(groups + j - 1));
  return ((here << shift) | (before >> (8U - shift))) & 0xFFU;
}

}  // namespace

KeystreamRing::KeystreamRing(const KeystreamRegister& loaded, unsigned threads,
                             std::uint64_t blockWords)
    : KeystreamRing(FastKeystream(loaded), threads, blockWords) {}

KeystreamRing::KeystreamRing(const PairFilterState& start, unsigned threads,
                             std::uint64_t blockWords)
    : KeystreamRing(FastKeystream(start), threads, blockWords) {}

KeystreamRing::KeystreamRing(const FastKeystream& head, unsigned threads,
                             std::uint64_t blockWords)
    : head_(head),
      blockWords_(blockWords),
      maxRejected_(head.state().maxRejected),
      jump_(blockWords) {
  PairFilterState& state = head_.state();
  pendingBits_ = state.bits;
  pendingCount_ = state.count;
  run_ = TrailingRejected(state);
  endsAfterCurrent_ = state.stopped;
  firstP_ = state.p;
  firstLow_ = state.low;
  nextBefore_ = SkipWords(state.p, blockWords_ - 1);

  threads = std::min(threads, kMaxThreads);
  slots_.resize(threads == 0 ? 1 : 2 * threads + 2);
  for (Block& block : slots_) {
    block.memory.resize(kRoomBefore + 4 * blockWords_ + kRoomAfter);
    block.groups = block.memory.data() + kRoomBefore;
  }
  for (unsigned t = 0; t < threads && !endsAfterCurrent_; ++t) {
    try {
      threads_.emplace_back([this] { GeneratorLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer generators, or none: the caller makes the blocks
    }
  }
}

KeystreamRing::~KeystreamRing() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  slotFree_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

unsigned KeystreamRing::ThreadsFor(std::uint64_t bytes) {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 && bytes >= kBytesWorthThreads
             ? std::min(cores - 1, kMaxThreads)
             : 0;
}

PairFilterState KeystreamRing::StartOf(std::uint64_t number) {
  PairFilterState start;
  start.maxRejected = maxRejected_;
  if (number == 0) {
    start.p = firstP_;
    start.low = firstLow_;
    return start;
  }
  // The raw word before the block holds the first pair's first bit.
  start.low = nextBefore_[0] >> 1U;
  start.p = nextBefore_;
  Advance64(start.p);
  nextBefore_ = jump_.From(nextBefore_);
  return start;
}

void KeystreamRing::Fill(Block& block, const PairFilterState& start) const {
  PairFilterState state = start;
  block.count = FilterWords(state, blockWords_, block.groups);
  block.tailCount = state.count;
  block.groups[block.count] = static_cast<std::uint8_t>(state.bits);
  std::memset(block.groups + block.count + 1, 0, kRoomAfter - 1);
  block.stopped = state.stopped;
  block.leading = LeadingRejected(start, blockWords_, maxRejected_);
  block.accepted = block.leading < 32 * blockWords_;
  block.trailing = TrailingRejected(state);
}

bool KeystreamRing::FillNextBlock(std::unique_lock<std::mutex>& lock) {
  if (nextToFill_ >= released_ + slots_.size()) {
    return false;
  }
  const std::uint64_t number = nextToFill_++;
  const PairFilterState start = StartOf(number);
  Block& block = slots_[number % slots_.size()];
  lock.unlock();
  Fill(block, start);
  lock.lock();
  block.number = number;
  if (joinerWaits_) {
    blockReady_.notify_one();
  }
  return true;
}

void KeystreamRing::GeneratorLoop() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!FillNextBlock(lock)) {
      ++fillersWaiting_;
      slotFree_.wait(lock);
      --fillersWaiting_;
    }
  }
}

bool KeystreamRing::EnterNextBlock() {
  if (ended_ || endsAfterCurrent_) {
    ended_ = true;
    return false;
  }
  const std::uint64_t number = nextToJoin_++;
  Block& block = slots_[number % slots_.size()];
  {
    std::unique_lock lock(mutex_);
    released_ = number;  // the block joined before is used up
    if (fillersWaiting_ != 0) {
      slotFree_.notify_all();
    }
    // Rather than wait, this thread fills the next free block itself; with
    // no generators it fills every block.
    while (block.number != number) {
      if (!FillNextBlock(lock)) {
        joinerWaits_ = true;
        blockReady_.wait(lock);
        joinerWaits_ = false;
      }
    }
  }
  current_ = &block;
  // The run of rejected pairs across the seam.
  if (run_ + block.leading >= maxRejected_) {
    ended_ = true;
    return false;
  }
  run_ = block.accepted ? block.trailing : run_ + block.leading;
  endsAfterCurrent_ = block.stopped;
  // The bits still pending go in front of the block's groups.
  shift_ = pendingCount_;
  block.groups[-1] = static_cast<std::uint8_t>(pendingBits_ << (8U - shift_));
  const std::size_t total = shift_ + 8 * block.count + block.tailCount;
  available_ = total / 8;
  position_ = 0;
  pendingCount_ = static_cast<unsigned>(total % 8);
  pendingBits_ =
      GroupAt(block.groups, available_, shift_) & ((1U << pendingCount_) - 1U);
  return true;
}

std::size_t KeystreamRing::Combine(std::uint8_t* data, std::size_t count) {
  std::size_t done = 0;
  // The loaded cells' groups come first.
  for (;;) {
    std::array<std::uint8_t, 16> groups{};
    const std::size_t taken = head_.TakeReadyGroups(
        groups.data(), std::min(groups.size(), count - done));
    if (taken == 0) {
      break;
    }
    CombineWithGroups(data + done, groups.data(), taken);
    done += taken;
  }
  while (done < count) {
    if (position_ == available_ && !EnterNextBlock()) {
      break;
    }
    const std::size_t n = std::min(count - done, available_ - position_);
    CombineWithShiftedGroups(data + done, current_->groups + position_, n,
                             shift_);
    position_ += n;
    done += n;
  }
  return done;
}

std::size_t KeystreamRing::Generate(std::uint8_t* key, std::size_t count) {
  std::memset(key, 0, count);
  return Combine(key, count);
}

}  // namespace cipher

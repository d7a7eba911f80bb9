#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "cipher/fast_keystream.h"
#include "cipher/register_integer.h"

namespace cipher {

// The key bytes of FastKeystream, made ahead by generator threads.
//
// Past the loaded cells the register's output is cut into blocks of a fixed
// number of raw words. The register integer one word before any block is a
// single modular multiplication from the one before the previous block
// (SkipAhead), so each generator thread takes the next block number and
// filters that block on its own into a slot of a ring. The caller's thread
// takes the blocks in order, joins their accepted bits at whatever bit the
// stream has reached, and counts the rejected pairs across each seam as
// NextKeyByte would. When its next block is not ready it fills the next
// free one itself, so that it never waits while there is work; the
// generators wait only on a full ring.
class KeystreamRing {
 public:
  // Raw words per block: about 128 KiB of key bytes.
  static constexpr std::uint64_t kDefaultBlockWords = std::uint64_t{1} << 16U;
  // Beyond this many generators the joining thread is the limit; it also
  // keeps the ring's memory small.
  static constexpr unsigned kMaxThreads = 16;

  // `threads` generators besides the caller's thread, at most kMaxThreads;
  // with none (or none that can be started) the caller's thread makes
  // every block.
  KeystreamRing(const KeystreamRegister& loaded, unsigned threads,
                std::uint64_t blockWords = kDefaultBlockWords);
  // Starts at a raw word boundary past the loaded cells (for tests).
  KeystreamRing(const PairFilterState& start, unsigned threads,
                std::uint64_t blockWords);
  KeystreamRing(const KeystreamRing&) = delete;
  KeystreamRing& operator=(const KeystreamRing&) = delete;
  ~KeystreamRing();

  // data[i] ^= the next key byte, for up to `count` bytes. Returns how
  // many: fewer only where NextKeyByte would return nothing
  // (kMaxDiscardedPairs equal pairs in a row), and none after that.
  std::size_t Combine(std::uint8_t* data, std::size_t count);
  // Writes the next `count` key bytes, as Combine over zeros.
  std::size_t Generate(std::uint8_t* key, std::size_t count);

  // Generators for `bytes` key bytes on this machine: one per core besides
  // the caller's, up to kMaxThreads; none for less than kBytesWorthThreads.
  static unsigned ThreadsFor(std::uint64_t bytes);
  static constexpr std::uint64_t kBytesWorthThreads = std::uint64_t{1} << 20U;

 private:
  struct Block {
    std::vector<std::uint8_t> memory;  // 8 bytes before the groups, room after
    std::uint8_t* groups = nullptr;
    std::size_t count = 0;       // whole groups
    unsigned tailCount = 0;      // accepted bits after them, in groups[count]
    std::uint64_t leading = 0;   // rejected pairs before the first unequal one
    std::uint64_t trailing = 0;  // rejected pairs after the last unequal one
    bool accepted = false;       // it has an unequal pair
    bool stopped = false;        // a run within it reached the bound
    std::uint64_t number = ~std::uint64_t{0};  // guarded by mutex_
  };

  KeystreamRing(const FastKeystream& head, unsigned threads,
                std::uint64_t blockWords);
  // Where block `number` starts (the caller holds mutex_ or is alone).
  PairFilterState StartOf(std::uint64_t number);
  void Fill(Block& block, const PairFilterState& start) const;
  // Fills the next block no one has taken, if its slot is free; `lock`
  // holds mutex_ and is let go while filling. False when the ring is full.
  bool FillNextBlock(std::unique_lock<std::mutex>& lock);
  void GeneratorLoop();
  // Moves to the next block; false when the stream has ended.
  bool EnterNextBlock();

  FastKeystream head_;  // the loaded cells' groups (the caller's thread)
  std::uint64_t blockWords_;
  std::uint64_t maxRejected_;
  SkipAhead jump_;
  Integer256 firstP_{};  // where block 0 starts
  std::uint64_t firstLow_ = 0;
  std::vector<Block> slots_;

  // The joining side (the caller's thread only).
  Block* current_ = nullptr;
  std::size_t position_ = 0;   // joined groups used from current_
  std::size_t available_ = 0;  // joined groups in current_
  unsigned shift_ = 0;         // bits of the stream before current_'s groups
  std::uint64_t pendingBits_ = 0;  // accepted bits before the next block
  unsigned pendingCount_ = 0;
  std::uint64_t run_ = 0;  // rejected pairs since the last unequal one
  bool ended_ = false;
  bool endsAfterCurrent_ = false;
  std::uint64_t nextToJoin_ = 0;

  std::mutex mutex_;
  std::condition_variable blockReady_;
  std::condition_variable slotFree_;
  std::uint64_t nextToFill_ = 0;  // guarded by mutex_
  std::uint64_t released_ = 0;    // blocks below it are free; mutex_
  Integer256 nextBefore_{};       // P one word before nextToFill_
  bool quit_ = false;             // guarded by mutex_
  bool joinerWaits_ = false;      // guarded by mutex_
  unsigned fillersWaiting_ = 0;   // guarded by mutex_
  std::vector<std::thread> threads_;
};

}  // namespace cipher

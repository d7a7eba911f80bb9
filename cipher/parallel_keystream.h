#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "cipher/fast_keystream.h"

namespace cipher {

// FastKeystream on two cores. After the loaded cells the register's output
// is the 2-adic expansion of a fraction with denominator q, so the state
// any number of words ahead is one modular multiplication away
// (SkipWords). In each round this thread filters the next stretch of raw
// words while a helper thread filters the stretch after it; the helper's
// accepted bits are then appended to this thread's, at whatever bit offset
// this thread's stretch ended.
class ParallelKeystream {
 public:
  // Raw words the helper filters per round: about 2 bytes of key each.
  static constexpr std::uint64_t kDefaultWordsPerRound = 1 << 16;

  // Without `useHelper` it is FastKeystream. Per round the helper filters
  // `wordsPerRound` words and this thread `ownWordsPerRound` (0: as many);
  // a thread that also reads and writes files should take fewer.
  ParallelKeystream(const KeystreamRegister& loaded, bool useHelper,
                    std::uint64_t wordsPerRound = kDefaultWordsPerRound,
                    std::uint64_t ownWordsPerRound = 0);
  // Starts at a raw word boundary past the loaded cells (for tests).
  ParallelKeystream(const PairFilterState& start, bool useHelper,
                    std::uint64_t wordsPerRound,
                    std::uint64_t ownWordsPerRound = 0);
  ParallelKeystream(const ParallelKeystream&) = delete;
  ParallelKeystream& operator=(const ParallelKeystream&) = delete;
  ~ParallelKeystream();

  // As FastKeystream::Generate.
  std::size_t Generate(std::uint8_t* key, std::size_t count);
  std::size_t GenerateGroups(std::uint8_t* groups, std::size_t count);

 private:
  // Filters the next ownWordsPerRound_ words here and the following
  // wordsPerRound_ on the helper into round_.
  void RunRound();
  void DispatchHelper();
  void WaitForHelper();
  void HelperLoop();
  void StartHelper(bool useHelper);

  FastKeystream main_;
  std::uint64_t wordsPerRound_;      // the helper's
  std::uint64_t ownWordsPerRound_;   // this thread's
  std::vector<std::uint8_t> round_;  // groups of the last round
  std::size_t roundBegin_ = 0;
  std::size_t roundEnd_ = 0;

  // The helper's stretch: where it starts, where this thread stood when it
  // was handed out, whether its result is still to be used.
  PairFilterState helperStart_;
  Integer256 dispatchedFrom_{};
  bool dispatched_ = false;
  // The helper's filter, its groups and how many; the helper's own while
  // taskPending_ is set.
  PairFilterState helperState_;
  std::vector<std::uint8_t> helperGroups_;
  std::size_t helperDone_ = 0;

  std::mutex mutex_;
  std::condition_variable wake_;
  bool taskPending_ = false;  // guarded by mutex_
  bool quit_ = false;         // guarded by mutex_
  std::thread helper_;
};

}  // namespace cipher

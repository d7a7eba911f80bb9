#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cipher/keystream_register.h"
#include "cipher/pair_filter.h"

namespace cipher {

// The key bytes of a loaded register, exactly as NextKeyByte draws them,
// computed 64 register steps at a time (register_integer.h, pair_filter.h).
class FastKeystream {
 public:
  // `loaded` is a register with the tap pattern of tap_pattern.h, just
  // loaded by LoadKey and not stepped since.
  explicit FastKeystream(const KeystreamRegister& loaded);
  // Starts at a raw word boundary past the loaded cells (for tests).
  explicit FastKeystream(const PairFilterState& start) : state_(start) {}

  // Writes the next `count` key bytes. Fewer only where NextKeyByte would
  // return nothing (kMaxDiscardedPairs equal pairs in a row); none after.
  std::size_t Generate(std::uint8_t* key, std::size_t count);
  // The same as groups (pair_filter.h), not yet turned into key bytes.
  std::size_t GenerateGroups(std::uint8_t* groups, std::size_t count);

  // Groups that are complete without drawing further output: those from
  // the loaded cells and whole ones left by the last call. Moves up to
  // `count` of them to `groups`.
  std::size_t TakeReadyGroups(std::uint8_t* groups, std::size_t count);

  PairFilterState& state() { return state_; }
  [[nodiscard]] const PairFilterState& state() const { return state_; }

 private:
  PairFilterState state_;
  // Groups from the 255 loaded cells (at most 3 words x 32 bits).
  std::array<std::uint8_t, 12> head_{};
  std::size_t headBegin_ = 0;
  std::size_t headEnd_ = 0;
};

}  // namespace cipher

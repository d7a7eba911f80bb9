#include "cipher/fast_keystream.h"

#include <algorithm>
#include <cstring>

namespace cipher {

FastKeystream::FastKeystream(const KeystreamRegister& loaded) {
  const Integer256 cells = CellsAsInteger(loaded);
  state_.p = InitialIntegerState(loaded);
  // Raw word 3 holds cells 192..254 and the first bit of P.
  state_.low = cells[3];
  for (std::size_t k = 0; k < 3; ++k) {
    if (!FilterOneWord(state_, cells[k])) {
      break;
    }
    while (state_.count >= 8) {
      head_[headEnd_++] = static_cast<std::uint8_t>(state_.bits);
      state_.bits >>= 8U;
      state_.count -= 8;
    }
  }
}

std::size_t FastKeystream::TakeReadyGroups(std::uint8_t* groups,
                                           std::size_t count) {
  const std::size_t fromHead = std::min(count, headEnd_ - headBegin_);
  std::memcpy(groups, head_.data() + headBegin_, fromHead);
  headBegin_ += fromHead;
  std::size_t done = fromHead;
  while (done < count && state_.count >= 8) {
    groups[done++] = static_cast<std::uint8_t>(state_.bits);
    state_.bits >>= 8U;
    state_.count -= 8;
  }
  return done;
}

std::size_t FastKeystream::GenerateGroups(std::uint8_t* groups,
                                          std::size_t count) {
  const std::size_t ready = TakeReadyGroups(groups, count);
  if (ready == count || headBegin_ != headEnd_) {
    return ready;
  }
  return ready + FillGroups(state_, groups + ready, count - ready);
}

std::size_t FastKeystream::Generate(std::uint8_t* key, std::size_t count) {
  const std::size_t done = GenerateGroups(key, count);
  GroupsToKeyBytes(key, done);
  return done;
}

}  // namespace cipher

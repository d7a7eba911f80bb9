#include "cipher/keystream_register.h"

#include <bit>
#include <cassert>

#include "cipher/tap_pattern.h"

namespace cipher {

namespace {
constexpr std::size_t kPatternLength = 255;
constexpr std::uint32_t kCell255 = 0x8000'0000U;  // bit 31 of word 7
}  // namespace

KeystreamRegister::Cells KeystreamRegister::FoldTapPattern(
    std::string_view tapPattern) {
  assert(tapPattern.size() == kPatternLength);
  Cells mask{};
  for (std::size_t k = 0; k < kPatternLength; ++k) {
    const auto digit =
        static_cast<std::uint32_t>(tapPattern[kPatternLength - 1 - k] - '0');
    std::uint32_t& word = mask[k / 32];
    word = (word | digit) << 1U;
  }
  return mask;
}

void KeystreamRegister::Reset() { Reset(kTapPattern); }

void KeystreamRegister::Reset(std::string_view tapPattern) {
  carry = 0;
  state = {};
  tapMask = FoldTapPattern(tapPattern);
}

std::uint8_t KeystreamRegister::Step() {
  const auto out = static_cast<std::uint8_t>(state[0] & 1U);

  int count = 0;
  for (std::size_t k = 0; k < state.size(); ++k) {
    std::uint32_t tapped = state[k] & tapMask[k];
    if (k == state.size() - 1) {
      tapped &= ~kCell255;  // bit 255 of the mask is never read
    }
    count += std::popcount(tapped);
  }
  const std::int32_t sum = carry + count;
  carry = sum >> 1;
  const auto feedback = static_cast<std::uint32_t>(sum & 1);

  for (std::size_t k = 0; k + 1 < state.size(); ++k) {
    state[k] = (state[k] >> 1U) | (state[k + 1] << 31U);
  }
  state[7] = (state[7] >> 1U) | (feedback << 30U);
  return out;
}

}  // namespace cipher

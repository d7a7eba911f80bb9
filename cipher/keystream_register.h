#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cipher {

// A 255-cell Fibonacci feedback-with-carry shift register. Cell i is bit
// (i mod 32) of word (i div 32); cell 0 is the output end, cell 254 the input
// end, and cell 255 is always 0.
//
// This is the literal form of the register and the reference for every key
// byte: a faster generator must give exactly the same output.
struct KeystreamRegister {
  using Cells = std::array<std::uint32_t, 8>;

  Cells state{};
  Cells tapMask{};
  // Integer carry, not a bit: after the first Step it never exceeds the
  // number of taps.
  std::int32_t carry = 0;

  // Clears the register and builds the tap mask from kTapPattern.
  void Reset();
  // Clears the register and builds the tap mask from another pattern of 255
  // characters, each '0' or '1'.
  void Reset(std::string_view tapPattern);

  // Emits cell 0, feeds the parity of carry + (tapped cells that are set)
  // into cell 254 and keeps the halved sum as the new carry.
  std::uint8_t Step();

  // The tap mask that Reset builds from a pattern. The OR comes before the
  // shift, so each word's first folded character is shifted out again and
  // cells 0, 32, ..., 224 can never be taps.
  static Cells FoldTapPattern(std::string_view tapPattern);
};

}  // namespace cipher

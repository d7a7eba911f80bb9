#pragma once

// The keystream register read as one integer, which lets it run 64 outputs
// at a time and jump ahead by any distance.
//
// Let S be cells 0..254 as an integer (cell i is bit i), c the carry and
// P = c + (S >> 1) + (S >> 35) + (S >> 157), one term per tapped cell. Bit 0
// of P is the next feedback bit (cell 254 of the following step), and one
// Step turns P into (P + a*q) / 2 with a = P mod 2: P times 2^-1 modulo q,
// q the connection integer of tap_pattern.h. So after the 255 loaded cells
// the register emits the bits of P, P*2^-1, P*2^-2, ... (bit 0 of each).
// Since P starts below q, it stays below q.
//
// 64 Steps at once: the 64 outputs are the low word B of P, and because
// q = -1 (mod 2^64), P + B*q is divisible by 2^64, so
//   P <- (P + B*q) / 2^64 = (P >> 64) + B * ((q + 1) >> 64)
// and (q + 1) >> 64 = 2^190 + 2^156 + 2^34: shifts and additions only.

#include <array>
#include <cstdint>

#include "cipher/keystream_register.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace cipher {

// 256 bits, word 0 lowest.
using Integer256 = std::array<std::uint64_t, 4>;

// For sums and products of two words (GCC and Clang).
// __extension__ keeps -Wpedantic quiet, and needs the typedef form.
__extension__ typedef unsigned __int128 Uint128;  // NOLINT(modernize-use-using)

// q = 2^254 + 2^220 + 2^98 - 1.
inline constexpr Integer256 kConnectionInteger = {
    0xFFFF'FFFF'FFFF'FFFFU, 0x0000'0003'FFFF'FFFFU, 0U, 0x4000'0000'1000'0000U};

// P of a register whose carry is at most 1 and whose tap mask comes from
// kTapPattern: the register just loaded by LoadKey.
Integer256 InitialIntegerState(const KeystreamRegister& loaded);

// Cells 0..254 of the register as an integer, cell 255 left out.
Integer256 CellsAsInteger(const KeystreamRegister& reg);

// a + b + carry (carry 0 or 1), with the carry out in `carry`.
static inline std::uint64_t AddWithCarry(std::uint64_t a, std::uint64_t b,
                                         unsigned char& carry) {
#if defined(__x86_64__)
  unsigned long long sum = 0;  // NOLINT(google-runtime-int): intrinsic type
  carry = _addcarry_u64(carry, a, b, &sum);
  return sum;
#else
  const Uint128 sum = static_cast<Uint128>(a) + b + carry;
  carry = static_cast<unsigned char>(sum >> 64U);
  return static_cast<std::uint64_t>(sum);
#endif
}

// Moves P past 64 outputs; those outputs were P's low word. Static: the
// BMI2 filter is built with other instruction-set flags, and no copy of it
// may stand in for the portable one.
static inline void Advance64(std::uint64_t& p0, std::uint64_t& p1,
                             std::uint64_t& p2, std::uint64_t& p3) {
  const std::uint64_t b = p0;
  // B * 2^34 in words 0 and 1 by shifts (the low word is on the critical
  // path), B * (2^62 + 2^28) in words 2 and 3 by one multiplication.
  const Uint128 high = static_cast<Uint128>(b) * 0x4000'0000'1000'0000U;
  unsigned char carry = 0;
  p0 = AddWithCarry(p1, b << 34U, carry);
  p1 = AddWithCarry(p2, b >> 30U, carry);
  p2 = AddWithCarry(p3, static_cast<std::uint64_t>(high), carry);
  p3 = static_cast<std::uint64_t>(high >> 64U) + carry;
}

static inline void Advance64(Integer256& p) {
  Advance64(p[0], p[1], p[2], p[3]);
}

// P after 64 * words further outputs: P * 2^(-64 words) mod q, by modular
// multiplication instead of stepping. P must be below q.
Integer256 SkipWords(const Integer256& p, std::uint64_t words);

// SkipWords by one distance for many P: the factor is computed once, and
// each jump is a single modular multiplication.
class SkipAhead {
 public:
  explicit SkipAhead(std::uint64_t words);
  [[nodiscard]] Integer256 From(const Integer256& p) const;

 private:
  Integer256 factor_;  // 2^(-64 words), times 2^256 mod q
};

}  // namespace cipher

#include "cipher/register_integer.h"

#include <cassert>

#include "cipher/tap_pattern.h"

namespace cipher {

namespace {

using Wide = Uint128;

bool Less(const Integer256& a, const Integer256& b) {
  for (std::size_t k = 4; k-- > 0;) {
    if (a[k] != b[k]) {
      return a[k] < b[k];
    }
  }
  return false;
}

// a - b, for a >= b.
Integer256 Subtract(const Integer256& a, const Integer256& b) {
  Integer256 out{};
  std::uint64_t borrow = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    const Wide difference = static_cast<Wide>(a[k]) - b[k] - borrow;
    out[k] = static_cast<std::uint64_t>(difference);
    borrow = static_cast<std::uint64_t>(difference >> 64U) & 1U;
  }
  return out;
}

Integer256 Add(const Integer256& a, const Integer256& b) {
  Integer256 out{};
  Wide sum = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    sum = (sum >> 64U) + a[k] + b[k];
    out[k] = static_cast<std::uint64_t>(sum);
  }
  return out;
}

Integer256 ShiftRight(const Integer256& a, unsigned shift) {
  Integer256 out{};
  const unsigned words = shift / 64;
  const unsigned bits = shift % 64;
  for (std::size_t k = 0; k + words < 4; ++k) {
    out[k] = a[k + words] >> bits;
    if (bits != 0 && k + words + 1 < 4) {
      out[k] |= a[k + words + 1] << (64 - bits);
    }
  }
  return out;
}

// a * b * 2^-256 mod q, for a, b below q. Montgomery reduction with
// -q^-1 = 1 (mod 2^64): each round adds (low word) * q and drops a word.
Integer256 MontgomeryMultiply(const Integer256& a, const Integer256& b) {
  std::array<std::uint64_t, 9> t{};
  for (std::size_t i = 0; i < 4; ++i) {
    Wide carry = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      carry += static_cast<Wide>(a[i]) * b[j] + t[i + j];
      t[i + j] = static_cast<std::uint64_t>(carry);
      carry >>= 64U;
    }
    t[i + 4] = static_cast<std::uint64_t>(carry);
  }
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint64_t m = t[i];
    Wide carry = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      carry += static_cast<Wide>(m) * kConnectionInteger[j] + t[i + j];
      t[i + j] = static_cast<std::uint64_t>(carry);
      carry >>= 64U;
    }
    for (std::size_t k = i + 4; carry != 0 && k < t.size(); ++k) {
      carry += t[k];
      t[k] = static_cast<std::uint64_t>(carry);
      carry >>= 64U;
    }
  }
  Integer256 out = {t[4], t[5], t[6], t[7]};
  if (t[8] != 0 || !Less(out, kConnectionInteger)) {
    out = Subtract(out, kConnectionInteger);
  }
  return out;
}

// 2^256 mod q, by doubling 1 modulo q: the Montgomery form of 1.
Integer256 MontgomeryOne() {
  Integer256 value = {1, 0, 0, 0};
  for (int i = 0; i < 256; ++i) {
    value = Add(value, value);  // below 2q < 2^256
    if (!Less(value, kConnectionInteger)) {
      value = Subtract(value, kConnectionInteger);
    }
  }
  return value;
}

}  // namespace

Integer256 CellsAsInteger(const KeystreamRegister& reg) {
  Integer256 s{};
  for (std::size_t k = 0; k < 4; ++k) {
    s[k] = reg.state[2 * k] |
           (static_cast<std::uint64_t>(reg.state[2 * k + 1]) << 32U);
  }
  s[3] &= 0x7FFF'FFFF'FFFF'FFFFU;  // cell 255
  return s;
}

Integer256 InitialIntegerState(const KeystreamRegister& loaded) {
  assert(loaded.tapMask == KeystreamRegister::FoldTapPattern(kTapPattern));
  assert(loaded.carry == 0 || loaded.carry == 1);
  const Integer256 s = CellsAsInteger(loaded);
  // The three taps, cells 1, 35 and 157: at most q - 1 in all.
  Integer256 p =
      Add(Add(ShiftRight(s, 1), ShiftRight(s, 35)), ShiftRight(s, 157));
  return Add(p, {static_cast<std::uint64_t>(loaded.carry), 0, 0, 0});
}

SkipAhead::SkipAhead(std::uint64_t words) : factor_(MontgomeryOne()) {
  // 2^-64 in Montgomery form is 2^192; raise it to the power `words`.
  Integer256 base = {0, 0, 0, 1};
  for (; words != 0; words >>= 1U) {
    if ((words & 1U) != 0) {
      factor_ = MontgomeryMultiply(factor_, base);
    }
    base = MontgomeryMultiply(base, base);
  }
}

Integer256 SkipAhead::From(const Integer256& p) const {
  assert(Less(p, kConnectionInteger));
  return MontgomeryMultiply(p, factor_);
}

Integer256 SkipWords(const Integer256& p, std::uint64_t words) {
  return SkipAhead(words).From(p);
}

}  // namespace cipher

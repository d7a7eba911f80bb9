#pragma once

// The keystream register's tap pattern, folded into the tap mask by
// KeystreamRegister::Reset. It taps cells 1, 35 and 157.
//
// Read with a tap at cell j as the coefficient of 2^(255 - j), the register
// is a Fibonacci feedback-with-carry register with connection integer
//
//   q = -1 + 2^254 + 2^220 + 2^98
//     = 0x4000000010000000000000000000000000000003ffffffffffffffffffffffff
//
// and after its first 255 outputs (the loaded cells) it emits the 2-adic
// expansion of a rational number with denominator q. The taps were chosen,
// by tools/find_tap_pattern.py, so that:
//   1. cell 1 is tapped and there are three taps: the only loaded state whose
//      output becomes constant is cell 0 alone with carry 0 (the
//      one-character password 0x01), which LoadKey's caller refuses;
//   2. q is a safe prime, q = 2p + 1 with p prime, so the order of 2 modulo q
//      is (q - 1) / 2 and no output falls into a short cycle;
//   3. no cell from 192 up is tapped, so q = -1 (mod 2^64) and the register
//      can be run 64 outputs at a time with shifts and additions only;
//   4. three taps is the fewest that criterion 1 allows, which keeps the
//      additions per 64 outputs to a minimum.
// Changing the pattern changes every key byte: containers written under one
// pattern cannot be read under another.

namespace cipher {

// 255 characters, each 0 or 1, in the order Reset folds them (character 254
// first). Character 223 taps cell 1, character 193 cell 35, character 123
// cell 157 (cell 32w + b comes from character 222 - 32w + b).
inline constexpr char kTapPattern[] =
    "0000000000000000000000000000000000000000000000000000000000000000"
    "0000000000000000000000000000000000000000000000000000000000010000"
    "0000000000000000000000000000000000000000000000000000000000000000"
    "010000000000000000000000000000010000000000000000000000000000000";

static_assert(sizeof(kTapPattern) == 256, "255 pattern characters and a NUL");

}  // namespace cipher

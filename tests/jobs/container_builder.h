#pragma once

// Containers built by hand from the layout, byte by byte, with the key bytes
// of the cell-by-cell register model: what the job must write and read.

#include <cstdint>
#include <string>
#include <string_view>

#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace test {

inline void AppendInt32(std::string& out, std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((bits >> shift) & 0xFFU);
  }
}

// The header for a password (Windows-1251 bytes) and a stored extension.
inline std::string BuildHeader(std::string_view password,
                               std::string_view extension,
                               std::int64_t plainSize) {
  std::string out;
  AppendInt32(out, static_cast<std::int64_t>(password.size()));
  for (std::size_t i = 0; i < password.size(); ++i) {
    const auto byte = static_cast<unsigned char>(password[i]);
    unsigned word = byte >= 0x80 ? 0xFF00U | byte : byte;
    word ^= 1U << i;
    out += static_cast<char>(word & 0xFFU);
    out += static_cast<char>(word >> 8U);
  }
  AppendInt32(out, static_cast<std::int64_t>(extension.size()));
  out += extension;
  AppendInt32(out, plainSize);
  return out;
}

// Each byte combined with the model's key bytes for the password.
inline std::string Combine(std::string_view password, std::string_view data) {
  auto reg = ReferenceRegister::WithPattern(cipher::kTapPattern);
  reg.Load(password);
  std::string out;
  for (const char c : data) {
    out += static_cast<char>(static_cast<unsigned char>(c) ^ reg.KeyByte());
  }
  return out;
}

inline std::string BuildContainer(std::string_view password,
                                  std::string_view extension,
                                  std::string_view plain) {
  return BuildHeader(password, extension,
                     static_cast<std::int64_t>(plain.size())) +
         Combine(password, plain);
}

}  // namespace test

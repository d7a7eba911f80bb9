#pragma once

// Containers built by hand from the layout, with the key bytes of the
// cell-by-cell model: what the encryption must write and the decryption
// must read back. Passwords and extensions are Windows-1251 bytes.

#include <cstdint>
#include <string>

#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace test {

inline void AppendInt32(std::string& out, std::int64_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out +=
        static_cast<char>((static_cast<std::uint64_t>(value) >> shift) & 0xFFU);
  }
}

inline std::string BuildHeader(const std::string& password,
                               const std::string& extension,
                               std::int64_t plainSize) {
  std::string out;
  AppendInt32(out, static_cast<std::int64_t>(password.size()));
  for (std::size_t i = 0; i < password.size(); ++i) {
    const auto byte = static_cast<unsigned char>(password[i]);
    const unsigned word = (byte >= 0x80 ? 0xFF00U | byte : byte) ^ (1U << i);
    out += static_cast<char>(word & 0xFFU);
    out += static_cast<char>(word >> 8U);
  }
  AppendInt32(out, static_cast<std::int64_t>(extension.size()));
  out += extension;
  AppendInt32(out, plainSize);
  return out;
}

// Data combined with the model's key bytes for the password.
inline std::string Combine(const std::string& password,
                           const std::string& data) {
  auto model = ReferenceRegister::WithPattern(cipher::kTapPattern);
  model.Load(password);
  std::string out;
  for (const char c : data) {
    out += static_cast<char>(static_cast<unsigned char>(c) ^ model.KeyByte());
  }
  return out;
}

inline std::string BuildContainer(const std::string& password,
                                  const std::string& extension,
                                  const std::string& plain) {
  return BuildHeader(password, extension,
                     static_cast<std::int64_t>(plain.size())) +
         Combine(password, plain);
}

}  // namespace test

#include "jobs/container_format.h"

#include <cassert>

#include "cipher/key_loading.h"

namespace jobs {

std::uint16_t PasswordWord(char character, std::size_t position) {
  assert(position < 16);
  return static_cast<std::uint16_t>(cipher::WidenCharacter(character) ^
                                    (1U << position));
}

std::array<std::byte, 4> EncodeInt32(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {std::byte(bits & 0xFFU), std::byte((bits >> 8U) & 0xFFU),
          std::byte((bits >> 16U) & 0xFFU), std::byte(bits >> 24U)};
}

std::int32_t DecodeInt32(const std::array<std::byte, 4>& bytes) {
  const auto bits = std::to_integer<std::uint32_t>(bytes[0]) |
                    (std::to_integer<std::uint32_t>(bytes[1]) << 8U) |
                    (std::to_integer<std::uint32_t>(bytes[2]) << 16U) |
                    (std::to_integer<std::uint32_t>(bytes[3]) << 24U);
  return static_cast<std::int32_t>(bits);
}

std::array<std::byte, 2> EncodeWord(std::uint16_t value) {
  return {std::byte(value & 0xFFU), std::byte(value >> 8U)};
}

std::uint16_t DecodeWord(const std::array<std::byte, 2>& bytes) {
  return static_cast<std::uint16_t>(
      std::to_integer<std::uint16_t>(bytes[0]) |
      (std::to_integer<std::uint16_t>(bytes[1]) << 8U));
}

}  // namespace jobs

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace test {

// Whole-file helpers for tests; they fail the test on an I/O error.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// `size` bytes that depend on `seed`: every byte value occurs.
std::string PatternBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace test

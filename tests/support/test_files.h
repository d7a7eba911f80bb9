#pragma once

// Real files for tests: a fresh folder per test and whole-file helpers.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace test {

// Paths are UTF-8 in the program; on Windows a narrow std::filesystem path
// would be read in the ANSI code page instead.
inline std::filesystem::path PathOf(const std::string& utf8) {
  return {std::u8string(utf8.begin(), utf8.end())};
}
inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return {utf8.begin(), utf8.end()};
}

// A new folder under the temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    std::error_code error;
    do {
      path_ = std::filesystem::temp_directory_path() /
              ("program-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_, error) && !error);
    EXPECT_FALSE(error) << error.message();
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }

  // The path of `name` in the folder.
  std::string operator/(const std::string& name) const {
    return Utf8(path_ / PathOf(name));
  }
  // The names in the folder, sorted.
  [[nodiscard]] std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(Utf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path;
}

// `size` bytes that depend on `seed`.
inline std::string PatternBytes(std::size_t size, std::uint32_t seed = 1) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(generator() & 0xFFU);
  }
  return bytes;
}

}  // namespace test

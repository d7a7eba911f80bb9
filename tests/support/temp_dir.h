#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder, as a string.
  [[nodiscard]] std::string operator/(const std::string& name) const;
  // The names of the files in the folder, sorted.
  [[nodiscard]] std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

}  // namespace test

#include "tests/support/temp_dir.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace test {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "program-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::operator/(const std::string& name) const {
  return (path_ / name).string();
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace test

#include "jobs/path_names.h"

#include <algorithm>

namespace jobs {

namespace {
constexpr std::string_view kDottedContainerExtension = ".crypt";
}

std::string_view PathExtension(std::string_view path) {
  const std::size_t stop = path.find_last_of(".\\/");
  if (stop == std::string_view::npos || path[stop] != '.') {
    return {};
  }
  return path.substr(stop + 1);
}

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lowered;
}

bool IsContainerName(std::string_view inputPath) {
  return LowerAscii(PathExtension(inputPath)) == kContainerExtension;
}

bool AddContainerExtension(std::string& outputText, std::string& outputPath,
                           std::string_view outputExtension) {
  if (outputExtension == kContainerExtension ||
      outputPath.ends_with(kDottedContainerExtension)) {
    return true;
  }
  if (outputPath.size() + kDottedContainerExtension.size() > kMaxPathLength) {
    return false;
  }
  outputText += kDottedContainerExtension;
  outputPath += kDottedContainerExtension;
  return true;
}

bool RestoreExtension(std::string& outputPath, std::string_view outputExtension,
                      std::string_view storedExtension) {
  if (storedExtension.empty() || outputExtension == storedExtension) {
    return true;
  }
  const std::size_t length = outputPath.size();
  const std::size_t e = storedExtension.size();
  if (length > e && outputPath.ends_with(storedExtension) &&
      outputPath[length - e - 1] == '.') {
    return true;
  }
  if (length + 1 + e > kMaxPathLength) {
    return false;
  }
  outputPath += '.';
  outputPath += storedExtension;
  return true;
}

void GuardContainerExtension(std::string& outputPath) {
  if (outputPath.size() >= kDottedContainerExtension.size() + 1 &&
      outputPath.ends_with(kDottedContainerExtension)) {
    outputPath.pop_back();
  }
}

}  // namespace jobs

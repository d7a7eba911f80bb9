#include "jobs/path_names.h"

#include <algorithm>

namespace jobs {

namespace {
constexpr std::string_view kDottedContainerExtension = ".crypt";
}

std::size_t PathLength(std::string_view path) {
#ifdef _WIN32
  std::size_t units = 0;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    // One unit a character, counted at its first byte; a second one for a
    // character beyond U+FFFF (four bytes here), a surrogate pair in UTF-16.
    units += (byte & 0xC0U) != 0x80U ? 1 : 0;
    units += byte >= 0xF0U ? 1 : 0;
  }
  return units;
#else
  return path.size();
#endif
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

bool NamesFolder(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/");
  const std::string_view last =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  return last.empty() || last == "." || last == "..";
}

bool AddContainerExtension(std::string& outputText, std::string& outputPath,
                           std::string_view outputExtension) {
  if (outputExtension == kContainerExtension ||
      outputPath.ends_with(kDottedContainerExtension)) {
    return true;
  }
  if (PathLength(outputPath) + kDottedContainerExtension.size() >
      kMaxPathLength) {
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
  if (PathLength(outputPath) + 1 + PathLength(storedExtension) >
      kMaxPathLength) {
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

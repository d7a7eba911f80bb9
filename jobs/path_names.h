#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jobs {

// Longest path the platform takes, without the terminator, as PathLength
// counts. On Windows that is the classic limit of 259 characters, which
// every program there can open; the program itself reaches the system
// through long paths, so that a temporary name beside such an output fits.
#ifdef _WIN32
inline constexpr std::size_t kMaxPathLength = 259;
#else
inline constexpr std::size_t kMaxPathLength = 4095;
#endif

// A UTF-8 path's length as the platform's limit counts it: in UTF-16 units
// on Windows, in bytes elsewhere.
std::size_t PathLength(std::string_view path);

inline constexpr std::string_view kContainerExtension = "crypt";

// The text after the last "." of the last path component, or empty when the
// component has no dot. Both "\" and "/" separate components.
std::string_view PathExtension(std::string_view path);

// Lowers the Latin capitals A to Z and leaves every other byte alone.
std::string LowerAscii(std::string_view text);

// True when an input with this name is a container to decrypt.
bool IsContainerName(std::string_view inputPath);

// True when the path's last component is empty, "." or "..": it names a
// folder, and a naming rule would make a hidden file inside it.
bool NamesFolder(std::string_view path);

// Gives the output name the container extension: unless the lower-cased
// output extension is "crypt", or outputPath already ends in ".crypt",
// appends ".crypt" to both outputText and outputPath. Returns false, with
// nothing appended, when the name would grow past kMaxPathLength.
bool AddContainerExtension(std::string& outputText, std::string& outputPath,
                           std::string_view outputExtension);

// Puts the stored extension back on a decryption's output name: nothing
// changes when it is empty, when it equals the lower-cased output extension,
// or when outputPath already ends in "." and the extension; otherwise "." and
// the extension are appended. Returns false, with nothing appended, when the
// name would grow past kMaxPathLength.
bool RestoreExtension(std::string& outputPath, std::string_view outputExtension,
                      std::string_view storedExtension);

// A restored name of seven or more characters that ends in ".crypt" loses its
// last character, so that a decrypted file is never named as a container.
void GuardContainerExtension(std::string& outputPath);

}  // namespace jobs

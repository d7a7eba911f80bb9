// libFuzzer target: the naming rules and the code page on arbitrary names,
// each checked against the rule written out independently here, with the
// path length limit of the platform.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "format/container_header.h"
#include "format/windows1251.h"
#include "jobs/path_names.h"

namespace {

using jobs::kMaxPathLength;

void Expect(bool kept, const char* promise) {
  if (!kept) {
    std::fprintf(stderr, "name_fuzzer: broken promise: %s\n", promise);
    std::abort();
  }
}

std::string Extension(const std::string& path) {
  const std::size_t at = path.find_last_of("./\\");
  return at != std::string::npos && path[at] == '.' ? path.substr(at + 1) : "";
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return text;
}

// A container name is kept; a name the suffix would make longer than the
// platform allows is refused untouched; any other gets it on both names.
void CheckAddContainerExtension(const std::string& textBefore,
                                const std::string& pathBefore) {
  std::string text = textBefore;
  std::string path = pathBefore;
  const std::string extension = Lower(Extension(text));
  const bool done = jobs::AddContainerExtension(text, path, extension);
  const bool kept = extension == "crypt" || pathBefore.ends_with(".crypt");
  const bool grows = !kept && pathBefore.size() + 6 <= kMaxPathLength;
  const std::string suffix = grows ? ".crypt" : "";
  Expect(done == (kept || grows) && text == textBefore + suffix &&
             path == pathBefore + suffix,
         "the container suffix goes on both names when it may");
  Expect(!grows || (jobs::IsContainerName(path) && jobs::IsContainerName(text)),
         "an encryption's output is named as a container");
}

// A name with the extension is kept; one the extension would make too long
// is refused untouched; any other gets it after a dot.
void CheckRestoreExtension(const std::string& pathBefore,
                           const std::string& outputExtension,
                           const std::string& stored) {
  std::string path = pathBefore;
  const bool done = jobs::RestoreExtension(path, outputExtension, stored);
  const bool kept =
      stored.empty() || outputExtension == stored ||
      (pathBefore.size() > stored.size() && pathBefore.ends_with(stored) &&
       pathBefore[pathBefore.size() - stored.size() - 1] == '.');
  const bool grows =
      !kept && pathBefore.size() + 1 + stored.size() <= kMaxPathLength;
  Expect(done == (kept || grows) &&
             path == (grows ? pathBefore + "." + stored : pathBefore),
         "the stored extension is appended after a dot when it may");
  Expect(!grows || stored.find_first_of("./\\") != std::string::npos ||
             jobs::PathExtension(path) == stored,
         "the restored name has the stored extension");

  std::string guarded = path;
  jobs::GuardContainerExtension(guarded);
  // So a decrypted file is never named .crypt.
  const bool crypt = path.size() >= 7 && path.ends_with(".crypt");
  Expect(guarded == (crypt ? path.substr(0, path.size() - 1) : path),
         "a restored .crypt loses its last character, any other name is kept");
}

void CheckCodePage(const std::string& bytes) {
  const auto utf8 = format::Windows1251ToUtf8(bytes);
  Expect(!utf8 || format::Utf8ToWindows1251(*utf8) == bytes,
         "Windows-1251 to UTF-8 and back is exact");
  const auto windows = format::Utf8ToWindows1251(bytes);
  Expect(!windows || (windows->size() <= bytes.size() &&
                      format::Windows1251ToUtf8(*windows) == bytes),
         "UTF-8 to Windows-1251 and back is exact, one byte a character");
  Expect(format::ExtensionFromStoredBytes(bytes).value_or("").size() <=
             3 * bytes.size(),
         "a stored extension reads back as at most 3 bytes a byte");
}

// Every extension an encryption writes comes back as the same name.
void CheckStoredExtension(const std::string& name) {
  const std::string extension = Extension(name);
  // No file name holds a longer one.
  const auto stored = format::StoredExtensionBytes(extension);
  if (!stored || stored->size() > format::kMaxExtensionLength) {
    return;
  }
  const std::string header = format::EncodeHeader({"a", *stored, 0});
  const auto decoded = format::DecodeHeader(header, "a", header.size());
  Expect(!decoded.fault && decoded.header.extension == *stored &&
             format::ExtensionFromStoredBytes(*stored) == extension,
         "a written extension passes the reader's checks, reads back the same");
  std::string restored = "out";
  Expect(jobs::RestoreExtension(restored, "", extension) &&
             (extension.empty() || Extension(restored) == extension),
         "the restored name has the extension it was written with");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::string tail = data.ConsumeRandomLengthString(600);
  const std::string other = data.ConsumeRandomLengthString(600);
  const std::string stored = data.ConsumeRandomLengthString(300);

  Expect(jobs::PathExtension(tail) == Extension(tail),
         "the extension is the text after the last dot of the last component");
  Expect(jobs::LowerAscii(tail) == Lower(tail), "only A to Z are lowered");
  Expect(jobs::IsContainerName(tail) == (Lower(Extension(tail)) == "crypt"),
         "any letter case of crypt decrypts");

  // A name of about `length` bytes ending in `tail`: the limits are reached.
  const auto length =
      data.ConsumeIntegralInRange<std::size_t>(0, kMaxPathLength + 8);
  const std::string path =
      std::string(length - std::min(length, tail.size()), 'd') + tail;
  CheckAddContainerExtension(tail, path);
  CheckAddContainerExtension(path, path);
  CheckAddContainerExtension(other, path);
  CheckRestoreExtension(path, Lower(Extension(other)), stored);
  CheckRestoreExtension(path, Lower(Extension(path)), stored);
  // The code page is slow to open (iconv): one name a run is enough.
  if (data.ConsumeBool()) {
    CheckCodePage(data.ConsumeBool() ? tail : stored);
  } else {
    CheckStoredExtension(tail);
  }
  return 0;
}

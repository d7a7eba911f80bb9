// libFuzzer target: arbitrary bytes decrypted as a container by the real job
// on real files. Every run checks what the program promises whatever the
// container holds, and aborts (a finding) when a promise is broken:
//   - the job ends with exactly one message, then enables the start button
//     and clears the running flag;
//   - the bar stays within 0..99 and is back at 0 if it moved;
//   - the container itself is left as it was;
//   - a refused container leaves no file behind, a temporary one included;
//   - an accepted one yields exactly plainSize bytes, each equal to its body
//     byte in bit 0 (key bytes have bit 0 clear), under the output name in
//     the job's own folder, and nothing else is written anywhere in the
//     fuzzer's folder.
//
// Input: byte 0 picks the password and the output name (fuzz_support.h);
// the rest is the container.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "format/windows1251.h"
#include "jobs/run_job.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const char* promise) {
  std::fprintf(stderr, "container_fuzzer: broken promise: %s\n", promise);
  std::abort();
}

void Expect(bool kept, const char* promise) {
  if (!kept) {
    Broken(promise);
  }
}

// The fuzzer's own folder, with the job's folder "box" inside it; removed
// when the fuzzer exits normally.
const fs::path& Root() {
  static const fs::path root = [] {
    std::string name =
        (fs::temp_directory_path() / "program-fuzz-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) {
      Broken("a temporary folder can be made");
    }
    fs::create_directory(fs::path(name) / "box");
    std::atexit([] {
      std::error_code error;
      fs::remove_all(Root(), error);
    });
    return fs::path(name);
  }();
  return root;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::int64_t Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    bits |=
        static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]))
        << (8U * i);
  }
  return static_cast<std::int32_t>(bits);
}

void CheckAccepted(const std::string& container, const std::string& password,
                   const fs::path& output) {
  // The header as the layout gives it: P, P words, X, X bytes, plainSize.
  const std::size_t p = password.size();
  const std::size_t extensionAt = 4 + 2 * p;
  Expect(container.size() >= extensionAt + 4, "an accepted header is whole");
  const std::int64_t x = Int32At(container, extensionAt);
  const std::size_t sizeAt = extensionAt + 4 + (x > 0 ? x : 0);
  Expect(container.size() >= sizeAt + 4, "an accepted header is whole");
  const std::int64_t plainSize = Int32At(container, sizeAt);
  const std::size_t bodyAt = sizeAt + 4;
  Expect(plainSize >= 0 &&
             container.size() - bodyAt == static_cast<std::size_t>(plainSize),
         "an accepted container is its header and plainSize bytes");
  const std::string plain = ReadWhole(output);
  Expect(plain.size() == static_cast<std::size_t>(plainSize),
         "the output holds exactly plainSize bytes");
  for (std::size_t k = 0; k < plain.size(); ++k) {
    Expect(((plain[k] ^ container[bodyAt + k]) & 1) == 0,
           "bit 0 of each byte passes through unchanged");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) {
    return -1;
  }
  const fs::path box = Root() / "box";
  const std::string& password = fuzz::kPasswords[data[0] & 3U];
  const std::string& outputName = fuzz::kOutputNames[(data[0] >> 2U) & 3U];
  const std::string container(reinterpret_cast<const char*>(data + 1),
                              size - 1);
  const fs::path input = box / fuzz::kInputName;
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(container.data(), static_cast<std::streamsize>(container.size()));
    Expect(out.good(), "the container can be written");
  }

  fuzz::FileJob job(input.string(), (box / outputName).string(), password);
  const jobs::JobResult result = job.Run();
  const jobs::JobMessage message = result.message;

  Expect(job.progress.ranges == std::vector<std::pair<int, int>>{{0, 100}} &&
             job.progress.rangeFirst,
         "the bar's range is set once, first");
  Expect(job.running.load() == 1, "the running flag is the caller's");
  for (const int position : job.progress.positions) {
    Expect(position >= 0 && position <= 99, "the bar stays below 100");
  }
  Expect(job.progress.positions.empty() || job.progress.positions.back() == 0,
         "the bar is back at 0");
  Expect(ReadWhole(input) == container, "the container is left alone");
  Expect(Names(Root()) == std::vector<std::string>{"box"},
         "nothing is written beside the job's folder");
  Expect(result.outputText == (box / outputName).string(),
         "a decryption leaves the output text alone");

  std::vector<std::string> names = Names(box);
  if (message == jobs::JobMessage::MSG_DONE) {
    const fs::path output(result.outputPath);
    Expect(output.parent_path() == box, "the output is in the chosen folder");
    Expect(names.size() == 2, "an accepted container makes one file");
    Expect(fs::is_regular_file(output), "the output has the restored name");
    CheckAccepted(container, *format::Utf8ToWindows1251(password), output);
  } else {
    Expect(names == std::vector<std::string>{fuzz::kInputName},
           "a refused container leaves nothing behind");
  }
  for (const std::string& name : names) {
    if (name != fuzz::kInputName) {
      fs::remove(box / name);
    }
  }
  return 0;
}

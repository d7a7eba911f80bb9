// libFuzzer target: arbitrary bytes decrypted as a container by the real job
// on real files. Every run checks what the program promises whatever the
// container holds, and aborts (a finding) when a promise is broken:
//   - the bar's range is reported once, first; the bar stays within 0..99
//     and is back at 0 if it moved; the running flag is left to the caller;
//   - the container itself is left as it was, and the output text too;
//   - a refused container leaves no file behind, a temporary one included;
//   - an accepted one yields exactly plainSize bytes, each equal to its body
//     byte in bit 0 (key bytes have bit 0 clear), under the output name in
//     the job's own folder, and nothing else is written anywhere.
//
//   - a small body decrypts to body XOR the key bytes of the cell-by-cell
//     model, and the restored name is exactly what the naming rules give;
//   - a file that already had the output name survives every refused job
//     byte for byte.
//
// Input: byte 0 chooses the password (bits 0-1), the output name (bits
// 2-3) and whether a file already has the output name (bit 4); the rest is
// the container. tools/make_fuzz_corpus.py writes the seeds.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "format/windows1251.h"
#include "jobs/run_job.h"
#include "tests/support/containers.h"

namespace {

namespace fs = std::filesystem;

const std::string kPasswords[] = {"a", "0123456789abcdef", "парола",
                                  "абвгдежзийклмноп"};
const std::string kOutputNames[] = {"out", "out.txt", "OUT.CRYPT", "in.crypt"};

void Expect(bool kept, const char* promise) {
  if (!kept) {
    std::fprintf(stderr, "container_fuzzer: broken promise: %s\n", promise);
    std::abort();
  }
}

// The fuzzer's own folder, with the job's folder "box" in it; removed when
// the fuzzer exits normally.
const fs::path& Root() {
  static const fs::path root = [] {
    std::string name =
        (fs::temp_directory_path() / "program-fuzz-XXXXXX").string();
    Expect(mkdtemp(name.data()) != nullptr, "a temporary folder can be made");
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

class KeepingProgress final : public jobs::ProgressSink {
 public:
  void SetRange(int minimum, int maximum) override {
    ranges.emplace_back(minimum, maximum);
  }
  void SetPosition(int position) override {
    Expect(!ranges.empty(), "the range comes before any position");
    positions.push_back(position);
  }
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
};

std::int64_t Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    bits |= std::uint32_t{static_cast<unsigned char>(bytes.at(at + i))}
            << (8U * i);
  }
  return static_cast<std::int32_t>(bits);
}

// The output name the naming rules give for the container's stored
// extension, written out here on their own: the bytes up to the first zero,
// read as Windows-1251; appended after a dot unless the name already ends in
// it (or its lower-cased extension is it); a final ".crypt" loses its "t".
// Nothing when the extension cannot be read or is refused.
std::optional<std::string> ExpectedName(const std::string& container,
                                        std::size_t passwordLength,
                                        const std::string& output) {
  const std::size_t at = 4 + 2 * passwordLength;
  if (container.size() < at + 4) {
    return std::nullopt;
  }
  const std::int64_t x = std::max<std::int64_t>(Int32At(container, at), 0);
  if (x > 259 || container.size() < at + 4 + x) {
    return std::nullopt;
  }
  std::string stored = container.substr(at + 4, x);
  stored = stored.substr(0, stored.find('\0'));
  for (const char c : stored) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || b == 0x98 || c == '/' || c == '\\') {
      return std::nullopt;
    }
  }
  const std::string extension = *format::Windows1251ToUtf8(stored);
  std::string name = output;
  std::string lowered = fs::path(output).extension().string();
  for (char& c : lowered) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!extension.empty() && lowered != "." + extension &&
      !name.ends_with("." + extension)) {
    name += "." + extension;
  }
  if (name.ends_with(".crypt")) {
    name.pop_back();
  }
  return name;
}

// The header as the layout gives it: P, P words, X, X bytes, plainSize.
void CheckAccepted(const std::string& container, const std::string& password,
                   const fs::path& output) {
  const std::size_t passwordLength = password.size();
  const std::size_t extensionAt = 4 + 2 * passwordLength;
  const std::int64_t x = Int32At(container, extensionAt);
  const std::size_t sizeAt = extensionAt + 4 + (x > 0 ? x : 0);
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
  if (plain.size() <= 32) {
    Expect(plain == test::Combine(password, container.substr(bodyAt)),
           "the body is XORed with the model's key bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) {
    return -1;
  }
  const fs::path box = Root() / "box";
  const std::string& password = kPasswords[data[0] & 3U];
  const std::string output =
      (box / kOutputNames[(data[0] >> 2U) & 3U]).string();
  const std::string container(reinterpret_cast<const char*>(data + 1),
                              size - 1);
  const std::string input = (box / "in.crypt").string();
  std::ofstream(input, std::ios::binary | std::ios::trunc)
      .write(container.data(), static_cast<std::streamsize>(container.size()));
  const std::string windowsPassword = *format::Utf8ToWindows1251(password);
  const std::optional<std::string> expected =
      ExpectedName(container, windowsPassword.size(), output);
  // Made where the name can be made (a long extension passes NAME_MAX).
  const bool earlierFile =
      (data[0] & 0x10U) != 0 && expected &&
      static_cast<bool>(std::ofstream(*expected, std::ios::binary)
                        << "earlier");

  KeepingProgress progress;
  jobs::RunningFlag running{1};
  const jobs::JobResult result =
      jobs::RunJob({input, input, output, output, password}, running, progress);

  Expect(progress.ranges == std::vector<std::pair<int, int>>{{0, 100}},
         "the bar's range is set once");
  for (const int position : progress.positions) {
    Expect(position >= 0 && position <= 99, "the bar stays below 100");
  }
  Expect(progress.positions.empty() || progress.positions.back() == 0,
         "the bar is back at 0");
  Expect(running.load() == 1, "the running flag is the caller's");
  Expect(ReadWhole(input) == container, "the container is left alone");
  Expect(result.outputText == output, "a decryption leaves the text alone");
  Expect(Names(Root()) == std::vector<std::string>{"box"},
         "nothing is written beside the job's folder");
  std::vector<std::string> names = Names(box);
  std::sort(names.begin(), names.end());
  if (result.message == jobs::JobMessage::MSG_DONE) {
    Expect(expected == result.outputPath,
           "the output has the name the naming rules give");
    Expect(names.size() == 2 && fs::is_regular_file(result.outputPath),
           "an accepted container makes one file, under the restored name");
    CheckAccepted(container, windowsPassword, result.outputPath);
  } else if (earlierFile) {
    Expect(names.size() == 2 && ReadWhole(*expected) == "earlier",
           "a refused container leaves the earlier file as it was");
  } else {
    Expect(names == std::vector<std::string>{"in.crypt"},
           "a refused container leaves nothing behind");
  }
  for (const std::string& name : names) {
    if (name != "in.crypt") {
      fs::remove(box / name);
    }
  }
  return 0;
}

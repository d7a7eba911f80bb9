// libFuzzer target: arbitrary bytes decrypted as a container by the real job
// on real files; every promise the program makes whatever the container
// holds is an Expect below, and a broken one aborts (a finding). Input: byte
// 0 chooses the password (bits 0-1), the output name (bits 2-3) and whether
// a file already has the output name (bit 4); the rest is the container.
// tools/make_fuzz_corpus.py writes the seeds.

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

// The fuzzer's own folder, for the job's folder "box"; removed at exit.
const fs::path& Root() {
  static const fs::path root = [] {
    std::string name =
        (fs::temp_directory_path() / "program-fuzz-XXXXXX").string();
    Expect(mkdtemp(name.data()) != nullptr, "a temporary folder can be made");
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
  std::sort(names.begin(), names.end());
  return names;
}

class KeepingProgress final : public jobs::ProgressSink {
 public:
  void SetRange(int low, int high) override { ranges.emplace_back(low, high); }
  void SetPosition(int position) override {
    Expect(!ranges.empty(), "the range comes before any position");
    Expect(position >= 0 && position <= 99, "the bar stays below 100");
    last = position;
  }
  std::vector<std::pair<int, int>> ranges;
  int last = 0;
};

// The little-endian signed word at `at`, or nothing past the end.
std::optional<std::int64_t> Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4 && at + 4 <= bytes.size(); ++i) {
    bits |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << 8 * i;
  }
  return at + 4 <= bytes.size() ? std::optional(std::int32_t(bits))
                                : std::nullopt;
}

// The naming rules written out on their own: the stored extension's bytes
// up to the first zero, read as Windows-1251, appended after a dot unless
// the name already ends in it (or its lower-cased extension is it); a final
// ".crypt" loses its "t". Nothing when the extension (its length at `at`)
// is unreadable or refused.
std::optional<std::string> ExpectedName(const std::string& container,
                                        std::size_t at, std::string name) {
  const auto word = Int32At(container, at);
  const std::int64_t x = std::max<std::int64_t>(word.value_or(0), 0);
  if (!word || x > 259 || container.size() < at + 4 + x) {
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
  const std::string extension = "." + *format::Windows1251ToUtf8(stored);
  std::string lowered = fs::path(name).extension().string();
  for (char& c : lowered) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (extension != "." && lowered != extension && !name.ends_with(extension)) {
    name += extension;
  }
  if (name.ends_with(".crypt")) {
    name.pop_back();
  }
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) {
    return -1;
  }
  const fs::path box = Root() / "box";
  fs::create_directory(box);
  const std::string& password = kPasswords[data[0] & 3U];
  const std::string output =
      (box / kOutputNames[(data[0] >> 2U) & 3U]).string();
  const std::string container(reinterpret_cast<const char*>(data + 1),
                              size - 1);
  const std::string input = (box / "in.crypt").string();
  std::ofstream(input, std::ios::binary) << container;
  const std::string windowsPassword = *format::Utf8ToWindows1251(password);
  // The header: P, P words, X, X bytes, plainSize; then the body.
  const std::size_t xAt = 4 + 2 * windowsPassword.size();
  const auto expected = ExpectedName(container, xAt, output);
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
  Expect(progress.last == 0, "the bar is back at 0");
  Expect(running.load() == 1, "the running flag is the caller's");
  Expect(ReadWhole(input) == container, "the container is left alone");
  Expect(result.outputText == output, "a decryption leaves the text alone");
  Expect(Names(Root()) == std::vector<std::string>{"box"},
         "nothing is written beside the job's folder");
  const std::vector<std::string> names = Names(box);
  if (result.message == jobs::JobMessage::MSG_DONE) {
    Expect(expected == result.outputPath && names.size() == 2 &&
               fs::is_regular_file(result.outputPath),
           "an accepted container makes one file, under the restored name");
    const std::size_t sizeAt =
        xAt + 4 + std::max<std::int64_t>(Int32At(container, xAt).value(), 0);
    const std::string body = container.substr(sizeAt + 4);
    const std::string plain = ReadWhole(result.outputPath);
    Expect(Int32At(container, sizeAt) == std::int64_t(body.size()) &&
               plain.size() == body.size(),
           "the output holds plainSize bytes, all of the body");
    for (std::size_t k = 0; k < plain.size(); ++k) {
      Expect(((plain[k] ^ body[k]) & 1) == 0,
             "bit 0 of each byte passes through unchanged");
    }
    Expect(plain.size() > 32 || plain == test::Combine(windowsPassword, body),
           "the body is XORed with the model's key bytes");
  } else if (earlierFile) {
    Expect(names.size() == 2 && ReadWhole(*expected) == "earlier",
           "a refused container leaves the earlier file as it was");
  } else {
    Expect(names == std::vector<std::string>{"in.crypt"},
           "a refused container leaves nothing behind");
  }
  fs::remove_all(box);
  return 0;
}

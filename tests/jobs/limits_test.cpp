// The limits of the format and of the platform: the largest plain size,
// and names exactly at the path limit. tools/long-checks.sh runs the
// largest plain file through both ways in full.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "jobs/path_names.h"
#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;
constexpr std::int64_t kLargest = INT32_MAX;

// Both directions take the largest plain size: the header says so and the
// body starts (the job is cancelled at its first step, so that it stays
// quick on sparse files). One byte more cannot be stored; a container 4 GiB
// longer than its header says cannot wrap around to a match.
TEST(Limits, PlainSizesAtTheFormatsLimit) {
  const test::TempDir dir;
  const std::string header = test::BuildHeader("pw", "bin", kLargest);
  const struct {
    std::string name, header;
    std::int64_t size;
    JobMessage expected;
  } cases[] = {
      {"big.bin", "", kLargest, JobMessage::MSG_CANCELLED},
      {"big.crypt", header, kLargest, JobMessage::MSG_CANCELLED},
      {"big.bin", "", kLargest + 1, JobMessage::MSG_INPUT_TOO_LARGE},
      {"big.crypt", test::BuildHeader("pw", "", 0), std::int64_t{1} << 32,
       JobMessage::MSG_DAMAGED_INPUT},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir / c.name, c.header);
    fs::resize_file(dir / c.name, c.header.size() + c.size);
    test::FaultyFiles files;
    test::JobHarness job(dir / c.name, dir / "out", "pw");
    job.progress.onPosition = [&](int) { job.running.store(0); };
    EXPECT_EQ(job.Run(files), c.expected) << c.name << " " << c.size;
    EXPECT_EQ(files.bytesWritten.starts_with(header),
              c.name == "big.bin" && c.size == kLargest);
    EXPECT_EQ(job.progress.positions.empty(),
              c.expected == JobMessage::MSG_INPUT_TOO_LARGE);
    EXPECT_EQ(dir.Names(), Names{c.name});
    fs::remove(dir / c.name);
  }
}

// A path of exactly `length` bytes: `folder`, then made folders of at most
// 200 bytes, then `name`.
std::string PathOfLength(std::string path, std::size_t length,
                         const std::string& name) {
  fs::create_directories(path);
  for (;;) {
    const std::size_t rest = length - path.size() - 1 - name.size();
    if (rest == 0) {
      return path.append("/").append(name);
    }
    std::size_t component = std::min<std::size_t>(rest - 1, 200);
    if (rest - 1 - component == 1) {
      --component;  // no room for another "/" and a name of one byte
    }
    path += "/" + std::string(component, 'f');
    fs::create_directory(path);
  }
}

// Names exactly at the platform's limit work in both directions, whatever
// the length of the last name (the temporary file beside the output may
// have a longer one); one byte more is refused before any output.
TEST(Limits, NamesAtThePathLimit) {
  const test::TempDir dir;
  const std::size_t limit = jobs::kMaxPathLength;
  const std::string input = PathOfLength(dir / "in", limit, "p.txt");
  test::WriteFile(input, "plain");
  for (const std::string& name : {std::string("n"), std::string(40, 'n')}) {
    const std::string encrypted =
        PathOfLength(dir / ("e" + name), limit, name + ".crypt");
    const std::string decrypted =
        PathOfLength(dir / ("d" + name), limit, name + ".txt");
    for (const std::size_t over : {0U, 1U}) {
      const JobMessage expected =
          over != 0 ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_DONE;
      test::JobHarness encrypt(
          input, encrypted.substr(0, limit - 6) + std::string(over, 'x'), "pw");
      EXPECT_EQ(encrypt.Run(), expected) << name.size() << " " << over;
      test::JobHarness decrypt(
          encrypted, decrypted.substr(0, limit - 4) + std::string(over, 'x'),
          "pw");
      EXPECT_EQ(decrypt.Run(), expected) << name.size() << " " << over;
      if (over != 0) {  // refused as an output that cannot be created
        EXPECT_EQ(encrypt.progress.positions, std::vector<int>{0});
        EXPECT_EQ(decrypt.progress.positions, std::vector<int>{0});
      }
    }
    EXPECT_EQ(test::ReadFile(decrypted), "plain");
    for (const std::string& path : {encrypted, decrypted}) {  // nothing else
      EXPECT_EQ(
          std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                        fs::directory_iterator()),
          1);
    }
  }
}

}  // namespace

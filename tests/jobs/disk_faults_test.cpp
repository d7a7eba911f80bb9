// Real faults of the disk and of the files around a running job: a full
// file system, an output folder that disappears, an input that grows or
// shrinks while it is read. Each job must end with the
// right message, the bar back at 0 and no partial output under the output
// name.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;

// A tmpfs mounted on a fresh folder (needs root, or CAP_SYS_ADMIN).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& options)
      : mounted_(mount("tmpfs", dir_.path().c_str(), "tmpfs", 0,
                       options.c_str()) == 0),
        error_(errno) {}
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted_) {
      umount2(dir_.path().c_str(), MNT_DETACH);
    }
  }
  [[nodiscard]] bool mounted() const { return mounted_; }
  [[nodiscard]] std::string reason() const {
    return "cannot mount a tmpfs here (" + std::string(strerror(error_)) +
           "); run as root to test a full disk";
  }
  std::string operator/(const std::string& name) const { return dir_ / name; }
  [[nodiscard]] Names Listing() const { return dir_.Names(); }

 private:
  test::TempDir dir_;
  bool mounted_;
  int error_;
};

// Every job here has created its output: the bar ends at 0.
void ExpectReset(const test::JobHarness& job) {
  ASSERT_FALSE(job.progress.positions.empty());
  EXPECT_EQ(job.progress.positions.back(), 0);
}

// Full disk: the final flush of a header-only container, a body write of
// a large one, a decryption, and no room for one more file.
TEST(FullDisk, WritesFailCleanly) {
  const test::TempDir dir;
  test::WriteFile(dir / "small.txt", "tiny");
  test::WriteFile(dir / "empty.txt", "");
  test::WriteFile(dir / "large.bin", test::PatternBytes(1U << 20U, 4));
  // Any body decrypts; only its length is checked.
  test::WriteFile(dir / "c.crypt", test::BuildHeader("pw", "bin", 200000) +
                                       test::PatternBytes(200000));
  const struct {
    std::string options, input, output;
    bool fill;
  } cases[] = {
      {"size=64k", "empty.txt", "out", true},   // nothing fits, not even 48 B
      {"size=64k", "small.txt", "out", true},   // header and body
      {"size=64k", "large.bin", "out", false},  // a body write
      {"size=64k", "c.crypt", "back", false},   // the plain file
      {"size=64k,nr_inodes=2", "small.txt", "out", false},  // no second file
  };
  for (const auto& c : cases) {
    const SmallDisk disk(c.options);
    if (!disk.mounted()) {
      GTEST_SKIP() << disk.reason();
    }
    const std::string kept = c.output == "out" ? "out.crypt" : "back.bin";
    test::WriteFile(disk / kept, "earlier");
    if (c.fill) {
      std::ofstream filler(disk / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (filler.write(block.data(), 4096)) {
      }
    }
    const Names before = disk.Listing();
    test::JobHarness job(dir / c.input, disk / c.output, "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << c.input;
    ExpectReset(job);
    EXPECT_EQ(disk.Listing(), before) << c.input;
    EXPECT_EQ(test::ReadFile(disk / kept), "earlier");
  }
}

// The output's folder removed while the body is written: the output cannot
// be put in place, and nothing is left of it.
TEST(OutputFolder, RemovedDuringTheJob) {
  const test::TempDir dir;
  test::WriteFile(dir / "p.txt", test::PatternBytes(5000));
  test::WriteFile(dir / "c.crypt", test::BuildHeader("pw", "txt", 5000) +
                                       test::PatternBytes(5000));
  for (const std::string input : {"p.txt", "c.crypt"}) {
    fs::create_directory(dir / "sub");
    test::JobHarness job(dir / input, dir / "sub/out", "pw");
    job.progress.onPosition = [&](int) { fs::remove_all(dir / "sub"); };
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << input;
    ExpectReset(job);
    EXPECT_EQ(dir.Names(), (Names{"c.crypt", "p.txt"}));
  }
}

// The input changes size once the body has started. A job that still ends
// with "готово" must have written a container that agrees with itself and
// holds the input as it was when the job began; otherwise it fails with the
// read error and leaves nothing.
TEST(ChangingInput, GrowsOrShrinksDuringTheJob) {
  const test::TempDir dir;
  const std::string original = test::PatternBytes(3U << 19U, 6);  // 1.5 MiB
  const std::string container =
      test::BuildHeader("pw", "", 3U << 19U) + test::PatternBytes(3U << 19U, 7);
  for (const std::string input : {"grows.bin", "c.crypt"}) {
    test::WriteFile(dir / input, input == "c.crypt" ? container : original);
    test::JobHarness job(dir / input, dir / "out", "pw");
    job.progress.onPosition = [&](int) {
      if (input == "grows.bin") {
        std::ofstream(dir / input, std::ios::binary | std::ios::app) << "more";
      } else {
        fs::resize_file(dir / input, 1000);
      }
    };
    const JobMessage message = job.Run();
    ExpectReset(job);
    if (input == "grows.bin") {
      // The header describes the input as it was, and the body agrees.
      ASSERT_EQ(message, JobMessage::MSG_DONE);
      const std::string written = test::ReadFile(dir / "out.crypt");
      const std::string header = test::BuildHeader("pw", "bin", 3U << 19U);
      EXPECT_EQ(written.size(), header.size() + original.size());
      EXPECT_TRUE(written.starts_with(
          header + test::Combine("pw", original.substr(0, 4096))));
      fs::remove(dir / "out.crypt");
    } else {
      EXPECT_EQ(message, JobMessage::MSG_READ_ERROR) << input;
    }
    fs::remove(dir / input);
    EXPECT_EQ(dir.Names(), Names{});
  }
}

}  // namespace

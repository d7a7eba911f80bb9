// Real faults of the disk around a running job: a full file system, an
// output folder that disappears. Each job must end with the write error,
// the bar back at 0 and no partial output under the output name.

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
struct SmallDisk {
  explicit SmallDisk(const std::string& options)
      : mounted(mount("tmpfs", dir.path().c_str(), "tmpfs", 0,
                      options.c_str()) == 0) {}
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted) {
      umount2(dir.path().c_str(), MNT_DETACH);
    }
  }
  test::TempDir dir;
  bool mounted;
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
    const SmallDisk small(c.options);
    if (!small.mounted) {
      GTEST_SKIP() << "cannot mount a tmpfs (" << strerror(errno)
                   << "); run as root to test a full disk";
    }
    const test::TempDir& disk = small.dir;
    const std::string kept = c.output == "out" ? "out.crypt" : "back.bin";
    test::WriteFile(disk / kept, "earlier");
    if (c.fill) {
      std::ofstream filler(disk / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (filler.write(block.data(), 4096)) {
      }
    }
    const Names before = disk.Names();
    test::JobHarness job(dir / c.input, disk / c.output, "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << c.input;
    ExpectReset(job);
    EXPECT_EQ(disk.Names(), before) << c.input;
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

}  // namespace

// Real faults of the disk and of the files around a running job: a full
// file system, an output folder that disappears or turns read-only, an
// input that grows or shrinks while it is read. Each job must end with the
// right message, the bar back at 0 and no partial output under the output
// name.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jobs/job_files.h"
#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;

// A tmpfs mounted on a fresh folder (needs root, or CAP_SYS_ADMIN).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& options) {
    if (mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      reason_ = "cannot mount a tmpfs here (" + std::string(strerror(errno)) +
                "); run as root to test a full disk";
    }
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted_) {
      umount2(dir_.path().c_str(), MNT_DETACH);
    }
  }
  [[nodiscard]] bool mounted() const { return mounted_; }
  [[nodiscard]] const std::string& reason() const { return reason_; }
  std::string operator/(const std::string& name) const { return dir_ / name; }
  [[nodiscard]] Names Listing() const { return dir_.Names(); }

  // Writes `name` until the disk is full.
  void Fill(const std::string& name) const {
    std::FILE* file = std::fopen((dir_ / name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), block.size(), 1, file) == 1) {
    }
    std::fclose(file);
  }

 private:
  test::TempDir dir_;
  bool mounted_ = false;
  std::string reason_;
};

Names NamesIn(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

bool IsTemporaryName(const std::string& name) {
  return name.starts_with(jobs::kTemporaryPrefix) &&
         name.ends_with(jobs::kTemporarySuffix);
}

void ExpectEnding(const test::JobHarness& job, JobMessage expected) {
  EXPECT_EQ(job.window.calls.back(), "enable 1");
  EXPECT_EQ(job.window.calls[job.window.calls.size() - 2],
            "message " + std::string(jobs::MessageText(expected)));
  EXPECT_TRUE(job.window.positions.empty() || job.window.positions.back() == 0);
  EXPECT_EQ(job.running.load(), 0);
}

// Full disk: the final flush of a header-only container, a body write of
// a large one, a decryption, and no room for one more file.
TEST(FullDisk, WritesFailCleanly) {
  const test::TempDir dir;
  const std::string small = dir / "small.txt";
  const std::string empty = dir / "empty.txt";
  const std::string large = dir / "large.bin";
  test::WriteFile(small, "tiny");
  test::WriteFile(empty, "");
  test::WriteFile(large, test::PatternBytes(1U << 20U, 4));
  const std::string container = dir / "c.crypt";
  // Any body decrypts; only its length is checked.
  test::WriteFile(container, test::BuildHeader("pw", "bin", 200000) +
                                 test::PatternBytes(200000));
  const struct {
    std::string options, input, output;
    bool fill;
  } cases[] = {
      {"size=64k", empty, "out", true},        // nothing fits, not even 48 B
      {"size=64k", small, "out", true},        // header and body
      {"size=64k", large, "out", false},       // a body write
      {"size=64k", container, "back", false},  // the plain file
      {"size=64k,nr_inodes=2", small, "out", false},  // no second file
  };
  for (const auto& c : cases) {
    const SmallDisk disk(c.options);
    if (!disk.mounted()) {
      GTEST_SKIP() << disk.reason();
    }
    const std::string kept = c.output == "out" ? "out.crypt" : "back.bin";
    test::WriteFile(disk / kept, "earlier");
    if (c.fill) {
      disk.Fill("filler");
    }
    const Names before = disk.Listing();
    test::JobHarness job(c.input, disk / c.output, "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << c.input;
    ExpectEnding(job, JobMessage::MSG_WRITE_ERROR);
    EXPECT_EQ(disk.Listing(), before) << c.input;
    EXPECT_EQ(test::ReadFile(disk / kept), "earlier");
  }
}

// The output's folder removed while the body is written: the output cannot
// be put in place, and nothing is left of it.
TEST(OutputFolder, RemovedDuringTheJob) {
  const test::TempDir dir;
  const std::string plain = dir / "p.txt";
  test::WriteFile(plain, test::PatternBytes(5000));
  const std::string container = dir / "c.crypt";
  test::WriteFile(container, test::BuildHeader("pw", "txt", 5000) +
                                 test::PatternBytes(5000));
  for (const std::string& input : {plain, container}) {
    fs::create_directory(dir / "sub");
    test::JobHarness job(input, dir / "sub/out", "pw");
    bool removed = false;
    job.window.onPosition = [&](int) {
      if (!removed) {
        removed = fs::remove_all(dir / "sub") > 0;
      }
    };
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << input;
    EXPECT_TRUE(removed);
    ExpectEnding(job, JobMessage::MSG_WRITE_ERROR);
    EXPECT_EQ(dir.Names(), (Names{"c.crypt", "p.txt"}));
  }
}

// Makes a folder read-only for everyone, root included: the immutable
// attribute where the file system has it, otherwise (not root) the mode.
bool MakeReadOnly(const fs::path& folder, bool readOnly) {
  if (geteuid() != 0) {
    fs::permissions(folder, readOnly
                                ? fs::perms::owner_read | fs::perms::owner_exec
                                : fs::perms::owner_all);
    return true;
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) {
    return false;
  }
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

// The output's folder turned read-only while the body is written: the
// earlier file stays under the output name. The temporary file cannot be
// removed from a read-only folder; it is the only thing left, and it is
// named as one.
TEST(OutputFolder, TurnedReadOnlyDuringTheJob) {
  const test::TempDir dir;
  const std::string plain = dir / "p.txt";
  test::WriteFile(plain, test::PatternBytes(5000));
  fs::create_directory(dir / "sub");
  test::WriteFile(dir / "sub/out.crypt", "earlier");
  if (!MakeReadOnly(dir / "sub", true) || !MakeReadOnly(dir / "sub", false)) {
    GTEST_SKIP() << "this file system cannot make a folder read-only for root "
                    "(no immutable attribute)";
  }
  test::JobHarness job(plain, dir / "sub/out", "pw");
  bool readOnly = false;
  job.window.onPosition = [&](int) {
    if (!readOnly) {
      readOnly = MakeReadOnly(dir / "sub", true);
    }
  };
  const JobMessage message = job.Run();
  MakeReadOnly(dir / "sub", false);
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(message, JobMessage::MSG_WRITE_ERROR);
  ExpectEnding(job, JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(test::ReadFile(dir / "sub/out.crypt"), "earlier");
  for (const std::string& name : NamesIn(dir / "sub")) {
    EXPECT_TRUE(name == "out.crypt" || IsTemporaryName(name)) << name;
  }
}

// The input changes size once the body has started. A job that still ends
// with "готово" must have written a container that agrees with itself and
// holds the input as it was when the job began; otherwise it fails with the
// read error and leaves nothing.
TEST(ChangingInput, GrowsOrShrinksDuringEncryption) {
  const test::TempDir dir;
  const std::string original = test::PatternBytes(3U << 19U, 6);  // 1.5 MiB
  for (const bool grow : {true, false}) {
    const std::string plain = dir / "p.bin";
    test::WriteFile(plain, original);
    test::JobHarness job(plain, dir / "out", "pw");
    bool changed = false;
    job.window.onPosition = [&](int) {
      if (!changed) {
        changed = true;
        if (grow) {
          std::ofstream(plain, std::ios::binary | std::ios::app) << "more";
        } else {
          fs::resize_file(plain, 1000);
        }
      }
    };
    const JobMessage message = job.Run();
    ASSERT_TRUE(changed);
    ExpectEnding(job, message);
    if (message == JobMessage::MSG_DONE) {
      // The header describes the input as it was, and the body agrees.
      const std::string written = test::ReadFile(dir / "out.crypt");
      const std::string header =
          test::BuildHeader("pw", "bin", std::int64_t{3} << 19U);
      EXPECT_EQ(written.size(), header.size() + original.size());
      EXPECT_TRUE(written.starts_with(
          header + test::Combine("pw", original.substr(0, 4096))));
      fs::remove(dir / "out.crypt");
    } else {
      EXPECT_FALSE(grow) << "a grown input still has every byte to read";
      EXPECT_EQ(message, JobMessage::MSG_READ_ERROR);
    }
    EXPECT_EQ(dir.Names(), Names{"p.bin"});
  }
}

TEST(ChangingInput, ShrinksDuringDecryption) {
  const test::TempDir dir;
  const std::string container = dir / "c.crypt";
  test::WriteFile(container, test::BuildHeader("pw", "", 3U << 19U) +
                                 test::PatternBytes(3U << 19U, 7));
  test::JobHarness job(container, dir / "back", "pw");
  job.window.onPosition = [&](int) {
    if (fs::file_size(container) > 1000) {
      fs::resize_file(container, 1000);
    }
  };
  const JobMessage message = job.Run();
  ExpectEnding(job, message);
  EXPECT_TRUE(message == JobMessage::MSG_READ_ERROR ||
              (message == JobMessage::MSG_DONE &&
               fs::file_size(dir / "back") == 3U << 19U));
  fs::remove(dir / "back");
  EXPECT_EQ(dir.Names(), Names{"c.crypt"});
}

}  // namespace

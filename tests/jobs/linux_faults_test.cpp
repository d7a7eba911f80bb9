// Outputs where other users and other processes are, and real faults of the
// disk: links planted in a shared folder, the modes of new files, pipes and
// pseudo-files, a full file system, an output folder that disappears.
// Linux only.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;

constexpr uid_t kIntruder = 54321;  // two throwaway users, no account needed
constexpr uid_t kFolderOwner = 54322;

// Makes the link `at` -> `to` as `uid`, in a child process of that user.
void PlantLink(uid_t uid, const std::string& to, const std::string& at) {
  const pid_t child = fork();
  if (child == 0) {
    const bool made = setresgid(uid, uid, uid) == 0 &&
                      setresuid(uid, uid, uid) == 0 &&
                      symlink(to.c_str(), at.c_str()) == 0;
    _exit(made ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(status, 0) << "cannot plant " << at << " as " << uid;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777U;
}

TEST(SharedFolder, FollowsOnlyTheLinksTheKernelWould) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "links of other users need root to make";
  }
  test::TempDir dir;
  const std::string plain = dir / "plain.txt";
  test::WriteFile(plain, "plain");
  fs::create_directory(dir / "private");
  const std::string precious = dir / "private/precious";
  const struct {
    const char* row;
    mode_t folderMode;
    uid_t folderOwner, linkOwner;
    std::string to;  // "" for a loop
    bool followed;
  } cases[] = {
      {"intruder in /tmp", 01777, 0, kIntruder, precious, false},
      {"own link in /tmp", 01777, 0, 0, precious, true},
      {"folder owner's", 01777, kFolderOwner, kFolderOwner, precious, true},
      {"not sticky", 0777, 0, kIntruder, precious, true},
      {"dangling", 01777, 0, 0, dir / "private/none", false},
      {"loop", 01777, 0, 0, "", false},
  };
  for (const auto& c : cases) {
    test::WriteFile(precious, "precious");
    const std::string shared = dir / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chown(shared.c_str(), c.folderOwner, 0), 0);
    ASSERT_EQ(chmod(shared.c_str(), c.folderMode), 0);
    const std::string out = shared + "/out.crypt";
    PlantLink(c.linkOwner, c.to.empty() ? out : c.to, out);

    test::JobHarness job(plain, out, "pw");
    EXPECT_EQ(job.Run(),
              c.followed ? JobMessage::MSG_DONE : JobMessage::MSG_WRITE_ERROR)
        << c.row;
    EXPECT_EQ(test::ReadFile(precious).size(), c.followed ? 24U : 8U) << c.row;
    EXPECT_TRUE(fs::is_symlink(out)) << c.row;
    EXPECT_EQ(fs::exists(dir / "private/none"), false);
    fs::remove_all(shared);
  }
}

// A new output takes the source's mode limited by the umask, as cp does;
// the temporary file is private while it is written.
TEST(SharedFolder, NewFilesTakeTheSourceModeAndArePrivateUntilDone) {
  test::TempDir dir;
  const struct {
    mode_t source, umask, existing, expected;
  } cases[] = {
      {0600, 022, 0, 0600},
      {0644, 022, 0, 0644},
      {0666, 077, 0, 0600},
      {0600, 022, 0640, 0640},  // an existing output keeps its own
  };
  for (const auto& c : cases) {
    const std::string plain = dir / "p.txt";
    test::WriteFile(plain, test::PatternBytes(3 << 18));
    ASSERT_EQ(chmod(plain.c_str(), c.source), 0);
    if (c.existing != 0) {
      test::WriteFile(dir / "out.crypt", "old");
      chmod((dir / "out.crypt").c_str(), c.existing);
    }
    const mode_t saved = umask(c.umask);
    for (const bool encrypting : {true, false}) {
      test::JobHarness job(encrypting ? plain : dir / "out.crypt",
                           dir / (encrypting ? "out" : "back"), "pw");
      job.progress.onPosition = [&](int) {
        for (const std::string& entry : dir.Names()) {
          if (entry.starts_with(".program-")) {
            EXPECT_EQ(ModeOf(dir / entry) & 077U, 0U) << entry;
          }
        }
      };
      EXPECT_EQ(job.Run(), JobMessage::MSG_DONE);
      EXPECT_EQ(ModeOf(job.result.outputPath),
                encrypting ? c.expected : c.expected & ~c.umask);
    }
    umask(saved);
    fs::remove(dir / "out.crypt");
    fs::remove(dir / "back.txt");
  }
}

// A pipe with no reader, one whose reader stops reading, and one whose
// reader goes away: Cancel ends the first two, the third is a write error,
// and the process lives on.
TEST(SharedFolder, PipesAsOutputs) {
  test::TempDir dir;
  const std::string plain = dir / "p.txt";
  test::WriteFile(plain, test::PatternBytes(1 << 20));
  const std::string fifo = dir / "f.crypt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const int readBytes : {-1, 0, 10}) {
    test::JobHarness job(plain, fifo, "pw");
    std::thread reader([&] {
      if (readBytes < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        job.running.store(0);
        return;
      }
      const int fd = open(fifo.c_str(), O_RDONLY);
      char bytes[10];
      EXPECT_EQ(read(fd, bytes, readBytes), readBytes);
      if (readBytes == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        job.running.store(0);
      }
      close(fd);
    });
    EXPECT_EQ(job.Run(), readBytes > 0 ? JobMessage::MSG_WRITE_ERROR
                                       : JobMessage::MSG_CANCELLED)
        << readBytes;
    reader.join();
  }
  EXPECT_EQ(dir.Names(), (Names{"f.crypt", "p.txt"}));
}

// A pseudo-file says it has 0 bytes and yields more; nothing is written.
TEST(SharedFolder, InputsYieldingMoreThanTheirSize) {
  test::TempDir dir;
  test::JobHarness job("/proc/self/status", dir / "out", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_READ_ERROR);
  EXPECT_TRUE(dir.Names().empty());
}

// Faults of the disk: each job must end with the write error, the bar back
// at 0 and no partial output under the output name.
// A tmpfs mounted on a fresh folder (needs root, or CAP_SYS_ADMIN).
struct SmallDisk {
  explicit SmallDisk(const std::string& options)
      : mounted(mount("tmpfs", dir.path().c_str(), "tmpfs", 0,
                      options.c_str()) == 0) {}
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

// Full disk: the final flush of a header-only container, a write, and no
// room for one more file.
TEST(FullDisk, WritesFailCleanly) {
  const test::TempDir dir;
  test::WriteFile(dir / "small.txt", "tiny");
  test::WriteFile(dir / "empty.txt", "");
  const struct {
    std::string options, input;
    bool fill;
  } cases[] = {
      {"size=64k", "empty.txt", true},               // not even 48 B fit
      {"size=64k", "small.txt", true},               // header and body
      {"size=64k,nr_inodes=2", "small.txt", false},  // no second file
  };
  for (const auto& c : cases) {
    const SmallDisk small(c.options);
    if (!small.mounted) {
      GTEST_SKIP() << "cannot mount a tmpfs (" << strerror(errno)
                   << "); run as root to test a full disk";
    }
    const test::TempDir& disk = small.dir;
    test::WriteFile(disk / "out.crypt", "earlier");
    if (c.fill) {
      std::ofstream filler(disk / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (filler.write(block.data(), 4096)) {
      }
    }
    const Names before = disk.Names();
    test::JobHarness job(dir / c.input, disk / "out", "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << c.input;
    ExpectReset(job);
    EXPECT_EQ(disk.Names(), before) << c.input;
    EXPECT_EQ(test::ReadFile(disk / "out.crypt"), "earlier");
  }
}

// The output's folder removed while the body is written: the output cannot
// be put in place, and nothing is left of it.
TEST(OutputFolder, RemovedDuringTheJob) {
  const test::TempDir dir;
  test::WriteFile(dir / "p.txt", test::PatternBytes(5000));
  fs::create_directory(dir / "sub");
  test::JobHarness job(dir / "p.txt", dir / "sub/out", "pw");
  job.progress.onPosition = [&](int) { fs::remove_all(dir / "sub"); };
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  ExpectReset(job);
  EXPECT_EQ(dir.Names(), Names{"p.txt"});
}

}  // namespace

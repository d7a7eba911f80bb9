// What a job does to the file system around its output.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jobs/run_job.h"
#include "tests/jobs/container_builder.h"
#include "tests/jobs/faulty_files.h"
#include "tests/jobs/job_harness.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;

class OutputFiles : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string plain = dir / "p.txt";

  void SetUp() override { test::WriteFile(plain, test::PatternBytes(3000)); }
};

TEST_F(OutputFiles, TheJobWritesATemporaryFileUntilItSucceeds) {
  test::JobHarness job(plain, dir / "out", "pw");
  std::vector<std::string> seen;
  job.window.onPosition = [&](int position) {
    if (position == 50) {
      seen = dir.Names();
    }
  };
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_TRUE(seen[0].starts_with(jobs::kTemporaryPrefix)) << seen[0];
  EXPECT_TRUE(seen[0].ends_with(jobs::kTemporarySuffix)) << seen[0];
  EXPECT_EQ(seen[1], "p.txt");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.crypt", "p.txt"}));
}

TEST_F(OutputFiles, AnExistingOutputSurvivesEveryFailedJob) {
  const std::string existing = dir / "out.crypt";
  test::WriteFile(existing, "precious");
  // Cancelled, a failed write, a failed commit.
  test::JobHarness cancelled(plain, dir / "out", "pw");
  cancelled.window.onPosition = [&](int) { cancelled.running.store(0); };
  EXPECT_EQ(cancelled.Run(), JobMessage::MSG_CANCELLED);
  test::FaultyFiles writeFails;
  writeFails.failWrite = 100;
  test::JobHarness failedWrite(plain, dir / "out", "pw");
  EXPECT_EQ(failedWrite.Run(writeFails), JobMessage::MSG_WRITE_ERROR);
  test::FaultyFiles commitFails;
  commitFails.failCommit = true;
  test::JobHarness failedCommit(plain, dir / "out", "pw");
  EXPECT_EQ(failedCommit.Run(commitFails), JobMessage::MSG_WRITE_ERROR);
  // A damaged container and a wrong password, decrypting onto a file.
  test::WriteFile(dir / "bad.crypt", std::string("\x01\0\0\0", 4));
  const std::string existingPlain = dir / "plain.txt";
  test::WriteFile(existingPlain, "also precious");
  test::JobHarness damaged(dir / "bad.crypt", existingPlain, "p");
  EXPECT_EQ(damaged.Run(), JobMessage::MSG_READ_ERROR);

  EXPECT_EQ(test::ReadFile(existing), "precious");
  EXPECT_EQ(test::ReadFile(existingPlain), "also precious");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"bad.crypt", "out.crypt",
                                                   "p.txt", "plain.txt"}));

  // Success replaces it, keeping its permissions.
  fs::permissions(existing, fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::group_read);
  test::JobHarness done(plain, dir / "out", "pw");
  ASSERT_EQ(done.Run(), JobMessage::MSG_DONE);
  EXPECT_NE(test::ReadFile(existing), "precious");
  EXPECT_EQ(
      fs::status(existing).permissions() & fs::perms::all,
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OutputFiles, ANewOutputGetsTheUsualPermissions) {
  const mode_t mask = umask(022);
  test::JobHarness job(plain, dir / "out", "pw");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  umask(mask);
  EXPECT_EQ(fs::status(dir / "out.crypt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write |
                fs::perms::group_read | fs::perms::others_read);
}

TEST_F(OutputFiles, ALinkIsWrittenThroughAndStaysALink) {
  fs::create_directory(dir / "real");
  test::WriteFile(dir / "real/target.crypt", "old");
  fs::create_symlink(dir / "real/target.crypt", dir / "link.crypt");
  test::JobHarness job(plain, dir / "link.crypt", "pw");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_TRUE(fs::is_symlink(dir / "link.crypt"));
  EXPECT_EQ(test::ReadFile(dir / "real/target.crypt").size(),
            test::BuildHeader("pw", "txt", 3000).size() + 3000);
}

TEST_F(OutputFiles, ADeviceIsWrittenDirectlyAndNeverReplaced) {
  fs::create_symlink("/dev/null", dir / "null.crypt");
  test::JobHarness job(plain, dir / "null.crypt", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  // A full device fails at the last flush for a small file, during the body
  // for a large one; it is never removed.
  fs::create_symlink("/dev/full", dir / "full.crypt");
  for (const std::size_t size : {10U, 200000U}) {
    test::WriteFile(plain, test::PatternBytes(size));
    test::JobHarness full(plain, dir / "full.crypt", "pw");
    EXPECT_EQ(full.Run(), JobMessage::MSG_WRITE_ERROR) << size;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
  }
  EXPECT_EQ(dir.Names(),
            (std::vector<std::string>{"full.crypt", "null.crypt", "p.txt"}));
}

TEST_F(OutputFiles, TheInputIsNeverItsOwnOutput) {
  fs::create_symlink(plain, dir / "same.crypt");
  test::JobHarness job(plain, dir / "same.crypt", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(test::ReadFile(plain), test::PatternBytes(3000));
}

TEST_F(OutputFiles, AReadOnlyOutputIsNotReplaced) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root may write every file";
  }
  test::WriteFile(dir / "ro.crypt", "keep");
  fs::permissions(dir / "ro.crypt", fs::perms::owner_read);
  test::JobHarness job(plain, dir / "ro", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(test::ReadFile(dir / "ro.crypt"), "keep");
}

}  // namespace

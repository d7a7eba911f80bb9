// The request checks, the choice of direction and the progress formula.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/run_job.h"
#include "tests/jobs/container_builder.h"
#include "tests/jobs/job_harness.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using jobs::JobMessage;
using Calls = std::vector<std::string>;

// A refused request: set-up, then the message, then the button and flag.
Calls Refused(JobMessage message) {
  return {"range 0 100 1", "enable 0",
          "message " + std::string(jobs::MessageText(message)), "enable 1"};
}

class JobLaunch : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string plain = dir / "plain.txt";
  std::string out = dir / "out";

  void SetUp() override { test::WriteFile(plain, "some plain text"); }
};

TEST_F(JobLaunch, ChecksTheRequestInOrder) {
  struct Case {
    std::string input, output, password;
    JobMessage expected;
  };
  const std::string missing = dir / "missing.txt";
  const Case cases[] = {
      {"", "", "", JobMessage::MSG_NO_INPUT},
      {"", out, "pw", JobMessage::MSG_NO_INPUT},
      {plain, "", "", JobMessage::MSG_NO_OUTPUT},
      {missing, out, "日", JobMessage::MSG_PASSWORD_CHARACTERS},
      {missing, out, "", JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, std::string(17, 'x'), JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, std::string(20, 'x'), JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, std::string(16, 'x'), JobMessage::MSG_INPUT_MISSING},
      {dir.path().string(), out, "pw", JobMessage::MSG_INPUT_MISSING},
  };
  for (const Case& c : cases) {
    test::JobHarness job(c.input, c.output, c.password);
    EXPECT_EQ(job.Run(), c.expected) << c.input << " " << c.password;
    EXPECT_EQ(job.window.calls, Refused(c.expected));
    EXPECT_EQ(job.running.load(), 0);
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"plain.txt"});
}

TEST_F(JobLaunch, CountsThePasswordInWindows1251Characters) {
  // Sixteen Cyrillic letters are 32 bytes of UTF-8 but 16 characters.
  test::JobHarness sixteen(plain, out, "абвгдежзийклмноп");
  EXPECT_EQ(sixteen.Run(), JobMessage::MSG_DONE);
  test::JobHarness seventeen(plain, out, "абвгдежзийклмнопр");
  EXPECT_EQ(seventeen.Run(), JobMessage::MSG_PASSWORD_LENGTH);
}

TEST_F(JobLaunch, UnreadableInputIsMissing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  std::filesystem::permissions(plain, std::filesystem::perms::none);
  test::JobHarness job(plain, out, "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_INPUT_MISSING);
}

TEST_F(JobLaunch, TheInputNameAloneChoosesTheDirection) {
  const std::string container = test::BuildContainer("pw", "txt", "abc");
  std::filesystem::create_directory(dir / "d.crypt");
  struct Case {
    std::string name;
    bool decrypts;
    std::string extension;
  };
  for (const Case& c :
       {Case{"a.CRYPT", true, ""}, Case{"b.Crypt", true, ""},
        Case{"c.crypt.bak", false, "bak"}, Case{"d.crypt/e", false, ""}}) {
    test::WriteFile(dir / c.name, container);
    test::JobHarness job(dir / c.name, dir / "result.crypt", "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_DONE) << c.name;
    // The output name has no say: decrypting restores .txt behind it.
    const std::string written =
        c.decrypts ? "result.crypt.txt" : "result.crypt";
    EXPECT_EQ(
        test::ReadFile(dir / written),
        c.decrypts ? "abc" : test::BuildContainer("pw", c.extension, container))
        << c.name;
    std::filesystem::remove(dir / written);
  }
}

TEST(ProgressPosition, IsTruncatedAndNeverReaches100) {
  EXPECT_EQ(jobs::ProgressPosition(0, 1), 0);
  EXPECT_EQ(jobs::ProgressPosition(99, 100), 98);
  EXPECT_EQ(jobs::ProgressPosition(21, 26), 77);
  // 64-bit product: no overflow for the largest sizes.
  EXPECT_EQ(jobs::ProgressPosition(INT32_MAX - 1, INT32_MAX), 99);
  EXPECT_EQ(
      jobs::ProgressPosition(std::int64_t{3} << 31, std::int64_t{4} << 31), 74);
}

}  // namespace

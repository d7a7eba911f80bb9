// The encryption run: the container it writes and every way it can end.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "jobs/path_names.h"
#include "jobs/run_job.h"
#include "tests/jobs/container_builder.h"
#include "tests/jobs/faulty_files.h"
#include "tests/jobs/job_harness.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using jobs::JobMessage;
using Calls = std::vector<std::string>;

std::string Message(JobMessage message) {
  return "message " + std::string(jobs::MessageText(message));
}

class Encryption : public ::testing::Test {
 protected:
  test::TempDir dir;

  std::string Plain(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir / name, bytes);
    return dir / name;
  }

  // The folder holds nothing but these names.
  void ExpectOnly(const std::vector<std::string>& names) {
    EXPECT_EQ(dir.Names(), names);
  }
};

TEST_F(Encryption, WritesTheContainerOfTheLayout) {
  struct Case {
    std::string name;
    std::string extension;  // as stored
    std::string password;   // as typed
    std::string password1251;
    std::size_t size;
  };
  const Case cases[] = {
      {"report.TXT", "TXT", "abc", "abc", 5},
      {"noextension", "", "x", "x", 1000},
      {"ends.in.dot.", "", "0123456789abcdef", "0123456789abcdef", 300},
      {"archive.tar.gz", "gz", "парола", "\xEF\xE0\xF0\xEE\xEB\xE0", 2000},
      {"отчет.тхт", "\xF2\xF5\xF2", "Ёж€", "\xA8\xE6\x88", 77},
      {"empty.bin", "bin", "\xD0\xB0", "\xE0", 0},
  };
  for (const Case& c : cases) {
    const std::string plain = test::PatternBytes(c.size, 9);
    test::JobHarness job(Plain(c.name, plain), dir / "out", c.password);
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE) << c.name;
    EXPECT_EQ(test::ReadFile(dir / "out.crypt"),
              test::BuildContainer(c.password1251, c.extension, plain))
        << c.name;
    // And back again.
    test::JobHarness back(dir / "out.crypt", dir / "back", c.password);
    ASSERT_EQ(back.Run(), JobMessage::MSG_DONE) << c.name;
    const std::string restored =
        c.extension.empty()
            ? "back"
            : "back." + std::string(jobs::PathExtension(c.name));
    EXPECT_EQ(test::ReadFile(dir / restored), plain) << c.name;
    std::filesystem::remove(dir / restored);
    std::filesystem::remove(dir / c.name);
  }
  ExpectOnly({"out.crypt"});
}

TEST_F(Encryption, AnEmptyInputGivesTheHeaderAlone) {
  test::JobHarness job(Plain("e.txt", ""), dir / "out", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"),
            test::BuildHeader("pw", "txt", 0));
  EXPECT_EQ(job.window.calls,
            (Calls{"range 0 100 1", "enable 0", "position 0",
                   Message(JobMessage::MSG_DONE), "enable 1"}));
}

TEST_F(Encryption, SameFileAndPasswordGiveTheSameContainer) {
  const std::string plain = Plain("p.txt", test::PatternBytes(500));
  test::JobHarness first(plain, dir / "one", "pw");
  test::JobHarness second(plain, dir / "two", "pw");
  ASSERT_EQ(first.Run(), JobMessage::MSG_DONE);
  ASSERT_EQ(second.Run(), JobMessage::MSG_DONE);
  const std::string one = test::ReadFile(dir / "one.crypt");
  EXPECT_EQ(one, test::ReadFile(dir / "two.crypt"));
  // Bit 0 of every byte passes through the cipher unchanged.
  const std::string header = test::BuildHeader("pw", "txt", 500);
  const std::string bytes = test::PatternBytes(500);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ((one[header.size() + i] ^ bytes[i]) & 1, 0);
  }
}

TEST_F(Encryption, ProgressShowsEachPositionOnceAndEndsAtZero) {
  for (const std::size_t size : {1U, 2U, 100U, 101U}) {
    test::JobHarness job(Plain("p", std::string(size, 'x')), dir / "o", "pw");
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
    std::vector<int> expected;
    for (std::size_t i = 0; i < size; ++i) {
      const int position = static_cast<int>(100 * i / (size + 1));
      if (expected.empty() || expected.back() != position) {
        expected.push_back(position);
      }
    }
    expected.push_back(0);
    EXPECT_EQ(job.window.positions, expected) << size;
    EXPECT_EQ(job.window.messages, 1);
  }
}

TEST_F(Encryption, TheOutputNameGetsOneContainerSuffix) {
  const std::string plain = Plain("p.txt", "abc");
  test::JobHarness job(plain, dir / "out.txt", "pw");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(job.outputText, dir / "out.txt.crypt");
  EXPECT_EQ(job.outputPath, dir / "out.txt.crypt");

  // A second start without a new pick: the box still shows the name
  // without the suffix, the path kept it.
  job.outputText = dir / "out.txt";
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(job.outputPath, dir / "out.txt.crypt");

  test::JobHarness upper(plain, dir / "up.CRYPT", "pw");
  ASSERT_EQ(upper.Run(), JobMessage::MSG_DONE);
  ExpectOnly({"out.txt.crypt", "p.txt", "up.CRYPT"});
}

TEST_F(Encryption, AnOutputThatCannotBeCreated) {
  const std::string plain = Plain("p.txt", "abc");
  std::filesystem::create_directory(dir / "folder.crypt");
  for (const std::string& output :
       {dir / "missing/out", dir / "p.txt/out", dir / "folder.crypt"}) {
    test::JobHarness job(plain, output, "pw");
    EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR) << output;
    EXPECT_EQ(job.window.calls,
              (Calls{"range 0 100 1", "enable 0", "position 0",
                     Message(JobMessage::MSG_WRITE_ERROR), "enable 1"}));
  }
  test::FaultyFiles faults;
  faults.failCreate = true;
  test::JobHarness job(plain, dir / "out", "pw");
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_WRITE_ERROR);
  ExpectOnly({"folder.crypt", "p.txt"});
}

TEST_F(Encryption, ANameTooLongForThePlatformIsRefusedUnchanged) {
  const std::string plain = Plain("p.txt", "abc");
  const std::string base = dir / "";
  const std::string output =
      base + std::string(jobs::kMaxPathLength - 5 - base.size(), 'n');
  test::JobHarness job(plain, output, "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(job.outputPath, output);
  EXPECT_EQ(job.outputText, output);
}

TEST_F(Encryption, EveryFailedWriteOrReadLeavesNothingBehind) {
  const std::string plain = Plain("p.txt", test::PatternBytes(40));
  // Header writes: length, 2 words, extension length, 3 bytes, plain size.
  constexpr int kHeaderWrites = 1 + 2 + 1 + 3 + 1;
  for (int write = 1; write <= kHeaderWrites + 40; ++write) {
    test::FaultyFiles faults;
    faults.failWrite = write;
    test::JobHarness job(plain, dir / "out", "pw");
    ASSERT_EQ(job.Run(faults), JobMessage::MSG_WRITE_ERROR) << write;
    EXPECT_EQ(job.window.positions.back(), 0);
    EXPECT_EQ(faults.writes, write);
    ExpectOnly({"p.txt"});
  }
  for (int read = 1; read <= 40; ++read) {
    test::FaultyFiles faults;
    faults.failRead = read;
    test::JobHarness job(plain, dir / "out", "pw");
    ASSERT_EQ(job.Run(faults), JobMessage::MSG_READ_ERROR) << read;
    EXPECT_EQ(job.window.positions.back(), 0);
    EXPECT_EQ(faults.writes, kHeaderWrites + read - 1);
    ExpectOnly({"p.txt"});
  }
  test::FaultyFiles faults;
  faults.failCommit = true;
  test::JobHarness job(plain, dir / "out", "pw");
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(job.window.calls.end()[-3], "position 0");
  ExpectOnly({"p.txt"});
}

TEST_F(Encryption, CancelIsNoticedAfterTheByteInHandIsWritten) {
  const std::string plain = Plain("p.txt", test::PatternBytes(1000));
  test::FaultyFiles faults;
  test::JobHarness job(plain, dir / "out", "pw");
  job.window.onPosition = [&](int position) {
    if (position == 50) {
      job.running.store(0);
    }
  };
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_CANCELLED);
  // Byte 501 is the first at position 50; byte 502 is still written, then
  // the flag is seen. The header took 8 writes.
  EXPECT_EQ(faults.writes, 8 + 503);
  EXPECT_EQ(job.window.positions.back(), 0);
  EXPECT_EQ(job.window.calls.end()[-2], Message(JobMessage::MSG_CANCELLED));
  EXPECT_EQ(job.running.load(), 0);
  ExpectOnly({"p.txt"});
}

TEST_F(Encryption, CancelFromAnotherThreadStopsALongJob) {
  const std::string plain = Plain("p.txt", test::PatternBytes(4 << 20));
  test::JobHarness job(plain, dir / "out", "pw");
  std::atomic<bool> started{false};
  job.window.onPosition = [&](int /*position*/) { started.store(true); };
  std::thread canceller([&] {
    while (!started.load()) {
      std::this_thread::yield();
    }
    job.running.store(0);
  });
  EXPECT_EQ(job.Run(), JobMessage::MSG_CANCELLED);
  canceller.join();
  ExpectOnly({"p.txt"});
}

TEST_F(Encryption, ACancelBeforeAnEmptyBodyIsNeverNoticed) {
  test::JobHarness job(Plain("p.txt", ""), dir / "out", "pw");
  // Cancelled before the job even starts: nothing polls without a body.
  job.running.store(0);
  jobs::JobContext context{&job.inputText, &job.outputText, &job.passwordText,
                           &job.inputPath, &job.outputPath, &job.window};
  EXPECT_EQ(jobs::RunJob(context, job.running), JobMessage::MSG_DONE);
  EXPECT_TRUE(test::Exists(dir / "out.crypt"));
}

TEST_F(Encryption, InputsTooLargeForTheFormatAreRefusedBeforeAnyOutput) {
  const std::string big = dir / "big.bin";
  { std::ofstream create(big); }
  std::filesystem::resize_file(big, std::uintmax_t{1} << 31);  // sparse
  test::JobHarness job(big, dir / "out", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_INPUT_TOO_LARGE);
  EXPECT_EQ(job.window.positions, std::vector<int>{});
  ExpectOnly({"big.bin"});
}

TEST_F(Encryption, APasswordWhoseKeystreamStopsIsRefused) {
  test::JobHarness job(Plain("p.txt", "abc"), dir / "out", "\x01");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRONG_PASSWORD);
  EXPECT_EQ(job.window.positions, std::vector<int>{});
  ExpectOnly({"p.txt"});
}

}  // namespace

// The decryption run: the checks of the container and every way it ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jobs/run_job.h"
#include "tests/jobs/container_builder.h"
#include "tests/jobs/faulty_files.h"
#include "tests/jobs/job_harness.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using jobs::JobMessage;
using Calls = std::vector<std::string>;
using Positions = std::vector<int>;

class Decryption : public ::testing::Test {
 protected:
  test::TempDir dir;
  const std::string plain = test::PatternBytes(5, 4);
  // 3-character password, extension TXT, 5-byte body: 26 bytes, the
  // header 21.
  const std::string container = test::BuildContainer("abc", "TXT", plain);

  std::string Container(const std::string& bytes,
                        const std::string& name = "in.crypt") {
    test::WriteFile(dir / name, bytes);
    return dir / name;
  }

  void ExpectOnly(const std::vector<std::string>& names) {
    EXPECT_EQ(dir.Names(), names);
  }
};

TEST_F(Decryption, RestoresThePlainFileUnderItsExtension) {
  test::JobHarness job(Container(container), dir / "back", "abc");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(test::ReadFile(dir / "back.TXT"), plain);
  EXPECT_EQ(job.outputPath, dir / "back.TXT");
  EXPECT_EQ(job.outputText, dir / "back");  // the text is left as it was
  // The first position is the header's share of the container.
  EXPECT_EQ(job.window.positions, (Positions{77, 81, 85, 88, 92, 0}));
  EXPECT_EQ(job.window.calls.front(), "range 0 100 1");
  EXPECT_EQ(job.window.calls.back(), "enable 1");
}

TEST_F(Decryption, WrongPasswordsStopAtTheFirstDifference) {
  struct Case {
    std::string password;
    int reads;  // length, then words up to the first wrong one
  };
  for (const Case& c : {Case{"ab", 1}, Case{"abcd", 1}, Case{"Abc", 2},
                        Case{"abC", 4}, Case{"xyz", 2}}) {
    test::FaultyFiles faults;
    test::JobHarness job(Container(container), dir / "back", c.password);
    EXPECT_EQ(job.Run(faults), JobMessage::MSG_WRONG_PASSWORD) << c.password;
    EXPECT_EQ(faults.reads, c.reads) << c.password;
    EXPECT_EQ(job.outputPath, dir / "back");
    EXPECT_EQ(job.window.positions, Positions{});
  }
  ExpectOnly({"in.crypt"});
}

// Cut short anywhere in the header, the container cannot be read; cut in
// the body, its length no longer matches.
TEST_F(Decryption, ContainersCutAtEveryOffset) {
  for (std::size_t length = 0; length < container.size(); ++length) {
    test::JobHarness job(Container(container.substr(0, length)), dir / "back",
                         "abc");
    const JobMessage message = job.Run();
    if (length < 21) {
      EXPECT_EQ(message, JobMessage::MSG_READ_ERROR) << length;
      // Only a cut inside plainSize moves the bar (back to 0).
      EXPECT_EQ(job.window.positions, length >= 17 ? Positions{0} : Positions{})
          << length;
    } else {
      EXPECT_EQ(message, JobMessage::MSG_DAMAGED_INPUT) << length;
      EXPECT_EQ(job.window.positions, Positions{0});
    }
    ExpectOnly({"in.crypt"});
  }
  // Shorter than the length field: read error under any password.
  test::JobHarness other(Container("\x03"), dir / "back", "zzzz");
  EXPECT_EQ(other.Run(), JobMessage::MSG_READ_ERROR);
}

TEST_F(Decryption, ABodyByteMissingOrAddedIsDamage) {
  for (const std::string& bytes :
       {container.substr(0, container.size() - 1), container + "x"}) {
    test::JobHarness job(Container(bytes), dir / "back", "abc");
    EXPECT_EQ(job.Run(), JobMessage::MSG_DAMAGED_INPUT);
    // The name was restored before the length was known.
    EXPECT_EQ(job.outputPath, dir / "back.TXT");
    ExpectOnly({"in.crypt"});
  }
}

TEST_F(Decryption, ExtensionLengths) {
  // Up to 259 stored bytes are read (this one then fails the length check
  // and moves the bar); 260 is refused before any byte is stored.
  const std::string ok = test::BuildHeader("abc", std::string(259, 'e'), 99);
  const std::string tooLong =
      test::BuildHeader("abc", std::string(260, 'e'), 0);
  test::JobHarness fits(Container(ok), dir / "back", "abc");
  EXPECT_EQ(fits.Run(), JobMessage::MSG_DAMAGED_INPUT);
  EXPECT_EQ(fits.window.positions, Positions{0});
  test::JobHarness refused(Container(tooLong), dir / "back", "abc");
  EXPECT_EQ(refused.Run(), JobMessage::MSG_DAMAGED_INPUT);
  EXPECT_EQ(refused.window.positions, Positions{});
  EXPECT_EQ(refused.outputPath, dir / "back");

  // Zero or below: no extension, no bytes read.
  for (const std::int64_t length : {0, -1, -100000}) {
    std::string bytes;
    test::AppendInt32(bytes, 3);
    bytes += test::BuildHeader("abc", "", 0).substr(4, 6);
    test::AppendInt32(bytes, length);
    test::AppendInt32(bytes, 3);
    bytes += test::Combine("abc", "xyz");
    test::JobHarness job(Container(bytes), dir / "back", "abc");
    EXPECT_EQ(job.Run(), JobMessage::MSG_DONE) << length;
    EXPECT_EQ(test::ReadFile(dir / "back"), "xyz");
  }
}

TEST_F(Decryption, AStoredExtensionEndsAtItsFirstZeroByte) {
  std::string bytes = test::BuildHeader("abc", std::string("md\0zz", 5), 2) +
                      test::Combine("abc", "hi");
  test::JobHarness job(Container(bytes), dir / "back", "abc");
  EXPECT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(test::ReadFile(dir / "back.md"), "hi");
}

TEST_F(Decryption, AStoredExtensionWithAFolderSeparatorIsDamage) {
  for (const std::string extension : {"x/../../y", "x\\y"}) {
    test::JobHarness job(
        Container(test::BuildContainer("abc", extension, "data")), dir / "back",
        "abc");
    EXPECT_EQ(job.Run(), JobMessage::MSG_DAMAGED_INPUT) << extension;
    EXPECT_EQ(job.outputPath, dir / "back");
  }
  ExpectOnly({"in.crypt"});
}

TEST_F(Decryption, NonAsciiExtensionsComeBackAsUtf8) {
  const std::string cyrillic = test::BuildContainer("abc", "\xF2\xF5\xF2", "1");
  test::JobHarness job(Container(cyrillic), dir / "back", "abc");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_TRUE(test::Exists(dir / "back.тхт"));
  const std::string utf8 = test::BuildContainer("abc", "日本", "2");
  test::JobHarness other(Container(utf8), dir / "back", "abc");
  ASSERT_EQ(other.Run(), JobMessage::MSG_DONE);
  EXPECT_TRUE(test::Exists(dir / "back.日本"));
}

TEST_F(Decryption, ARestoredCryptNameLosesItsLastCharacter) {
  test::JobHarness job(Container(test::BuildContainer("abc", "crypt", "x")),
                       dir / "back", "abc");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(job.outputPath, dir / "back.cryp");
  ExpectOnly({"back.cryp", "in.crypt"});
}

TEST_F(Decryption, AnEmptyBodyGivesAnEmptyFile) {
  test::JobHarness job(Container(test::BuildContainer("abc", "", "")),
                       dir / "back", "abc");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(test::ReadFile(dir / "back"), "");
  EXPECT_EQ(job.window.positions, Positions{0});
}

TEST_F(Decryption, ANegativePlainSizeIsDamage) {
  test::JobHarness job(Container(test::BuildHeader("abc", "", -1)),
                       dir / "back", "abc");
  EXPECT_EQ(job.Run(), JobMessage::MSG_DAMAGED_INPUT);
}

// A container over 4 GiB whose plainSize is 0: sizes are compared in 64
// bits, so the extra 4 GiB cannot wrap around to a match.
TEST_F(Decryption, TheLengthCheckDoesNotWrapAround) {
  const std::string header = test::BuildHeader("abc", "", 0);
  const std::string path = Container(header);
  std::filesystem::resize_file(path, header.size() + (std::uintmax_t{1} << 32));
  test::JobHarness job(path, dir / "back", "abc");
  EXPECT_EQ(job.Run(), JobMessage::MSG_DAMAGED_INPUT);
}

TEST_F(Decryption, FailuresOnceTheOutputExistsLeaveNothingBehind) {
  const std::string body = test::PatternBytes(30);
  const std::string path = Container(test::BuildContainer("abc", "", body));
  constexpr int kHeaderReads = 1 + 3 + 1 + 1;
  struct Case {
    int failRead, failWrite;
    bool failCommit, failCreate;
    JobMessage expected;
  };
  std::vector<Case> cases;
  for (int n = 1; n <= 30; ++n) {
    cases.push_back(
        {kHeaderReads + n, 0, false, false, JobMessage::MSG_READ_ERROR});
    cases.push_back({0, n, false, false, JobMessage::MSG_WRITE_ERROR});
  }
  cases.push_back({0, 0, true, false, JobMessage::MSG_WRITE_ERROR});
  cases.push_back({0, 0, false, true, JobMessage::MSG_WRITE_ERROR});
  for (const Case& c : cases) {
    test::FaultyFiles faults;
    faults.failRead = c.failRead;
    faults.failWrite = c.failWrite;
    faults.failCommit = c.failCommit;
    faults.failCreate = c.failCreate;
    test::JobHarness job(path, dir / "back", "abc");
    ASSERT_EQ(job.Run(faults), c.expected) << c.failRead << " " << c.failWrite;
    EXPECT_EQ(job.window.positions.back(), 0);
    ExpectOnly({"in.crypt"});
  }
  // Each failing header read, in order: length, 3 words, extension length,
  // plain size (the bar moves only for the last).
  for (int n = 1; n <= kHeaderReads; ++n) {
    test::FaultyFiles faults;
    faults.failRead = n;
    test::JobHarness job(path, dir / "back", "abc");
    EXPECT_EQ(job.Run(faults), JobMessage::MSG_READ_ERROR);
    EXPECT_EQ(job.window.positions,
              n == kHeaderReads ? Positions{0} : Positions{});
  }
}

TEST_F(Decryption, CancelDuringTheBody) {
  const std::string path =
      Container(test::BuildContainer("abc", "", test::PatternBytes(500)));
  test::JobHarness job(path, dir / "back", "abc");
  job.window.onPosition = [&](int position) {
    if (position > 50) {
      job.running.store(0);
    }
  };
  EXPECT_EQ(job.Run(), JobMessage::MSG_CANCELLED);
  EXPECT_EQ(job.window.positions.back(), 0);
  EXPECT_EQ(job.running.load(), 0);
  ExpectOnly({"in.crypt"});
}

TEST_F(Decryption, AContainerKeyedWithAStoppingPasswordIsRefused) {
  const std::string path =
      Container(test::BuildHeader("\x01", "", 1) + std::string(1, 'x'));
  test::JobHarness job(path, dir / "back", "\x01");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRONG_PASSWORD);
  ExpectOnly({"in.crypt"});
}

TEST_F(Decryption, TheContainerItselfIsNeverTheOutput) {
  const std::string path = Container(test::BuildContainer("abc", "", "data"));
  std::filesystem::create_symlink(path, dir / "link");
  test::JobHarness job(path, dir / "link", "abc");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(test::ReadFile(path), test::BuildContainer("abc", "", "data"));
  EXPECT_EQ(job.window.positions, Positions{0});
}

}  // namespace

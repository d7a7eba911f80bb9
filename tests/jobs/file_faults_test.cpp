// The file layer failing under a job: every read and every write offset in
// turn, the commit, the creation of the output, and failures inside a
// block, also with Cancel pressed. Each job must end with the message of
// its row and the bar as the row says (untouched, or back at 0 after the
// positions the job got to), and leave the file that had the output name
// as it was and nothing else behind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/job.h"
#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

using jobs::JobMessage;
using Positions = std::vector<int>;
constexpr std::int64_t kBlock = jobs::kBodyBlockSize;

// The positions of the body bytes before `end`, then the reset to 0.
Positions ShownThenReset(std::int64_t begin, std::int64_t end,
                         std::int64_t size) {
  Positions positions = test::PositionsOf(begin, end, size);
  positions.push_back(0);
  return positions;
}

class FileFaults : public ::testing::Test {
 protected:
  test::TempDir dir;

  // Runs the job with the faults and checks what it leaves.
  void Check(const std::string& input, const std::string& output,
             const std::string& password, test::FaultyFiles& faults,
             JobMessage expected, const Positions& positions,
             const std::string& outputPath, bool flagSet = true) {
    const std::vector<std::string> before = dir.Names();
    test::JobHarness job(input, output, password);
    EXPECT_EQ(job.Run(faults, flagSet), expected)
        << faults.readFailsAt << " " << faults.writeFailsAt;
    EXPECT_EQ(job.progress.positions, positions)
        << faults.readFailsAt << " " << faults.writeFailsAt;
    EXPECT_EQ(job.result.outputPath, outputPath);
    EXPECT_EQ(dir.Names(), before);
  }
};

// 100 plain bytes. Encrypting, the header is 19 bytes; decrypting, 21, and
// the extension is restored on the name once the header's first 17 bytes
// have been read.
TEST_F(FileFaults, EveryOffsetTheCommitAndTheCreation) {
  const std::string plain = dir / "p.txt";
  test::WriteFile(plain, test::PatternBytes(100));
  const std::string container = dir / "in.crypt";
  test::WriteFile(container,
                  test::BuildContainer("abc", "txt", test::PatternBytes(100)));
  test::WriteFile(dir / "out.crypt", "earlier file");
  test::WriteFile(dir / "back.txt", "earlier file");
  const std::string encrypted = dir / "out.crypt";
  const std::string decrypted = dir / "back.txt";

  for (std::int64_t k = 0; k < 100; ++k) {
    test::FaultyFiles faults;
    faults.readFailsAt = k;
    Check(plain, dir / "out", "pw", faults, JobMessage::MSG_READ_ERROR,
          ShownThenReset(0, k, 100), encrypted);
  }
  for (std::int64_t k = 0; k < 119; ++k) {
    test::FaultyFiles faults;
    faults.writeFailsAt = k;
    Check(plain, dir / "out", "pw", faults, JobMessage::MSG_WRITE_ERROR,
          ShownThenReset(0, k - 19, 100), encrypted);
  }
  for (std::int64_t k = 0; k < 121; ++k) {
    test::FaultyFiles faults;
    faults.readFailsAt = k;
    Check(container, dir / "back", "abc", faults, JobMessage::MSG_READ_ERROR,
          k < 17 ? Positions{} : ShownThenReset(21, k, 121),
          k < 17 ? dir / "back" : decrypted);
  }
  for (std::int64_t k = 0; k < 100; ++k) {
    test::FaultyFiles faults;
    faults.writeFailsAt = k;
    Check(container, dir / "back", "abc", faults, JobMessage::MSG_WRITE_ERROR,
          ShownThenReset(21, 21 + k, 121), decrypted);
  }
  for (const bool commit : {true, false}) {
    test::FaultyFiles faults;
    (commit ? faults.failCommit : faults.failCreate) = true;
    Check(plain, dir / "out", "pw", faults, JobMessage::MSG_WRITE_ERROR,
          ShownThenReset(0, commit ? 100 : 0, 100), encrypted);
    Check(container, dir / "back", "abc", faults, JobMessage::MSG_WRITE_ERROR,
          ShownThenReset(21, commit ? 121 : 21, 121), decrypted);
  }
  EXPECT_EQ(test::ReadFile(encrypted), "earlier file");
  EXPECT_EQ(test::ReadFile(decrypted), "earlier file");
}

// A plain file of three blocks and a bit, no extension: a 16-byte header.
// Reads and writes stopping at and inside blocks, alone and in every pair:
// the first byte that fails decides, as byte by byte, and a byte is read
// before it is written.
TEST_F(FileFaults, AReadOrAWriteStoppingInsideABlock) {
  const std::int64_t size = 3 * kBlock + 5;
  const std::string plain = dir / "p";
  test::WriteFile(plain, test::PatternBytes(static_cast<std::size_t>(size)));
  const std::int64_t none = size + 1;
  const std::int64_t offsets[] = {
      0,          1,           kBlock - 1,     kBlock,   kBlock + 5,
      kBlock + 7, kBlock + 10, 2 * kBlock + 3, size - 1, none};
  for (const std::int64_t readAt : offsets) {
    for (const std::int64_t writeAt : offsets) {
      if (readAt == none && writeAt == none) {
        continue;
      }
      test::FaultyFiles faults;
      faults.readFailsAt = readAt;
      faults.writeFailsAt = writeAt + 16;
      Check(plain, dir / "c", "pw", faults,
            writeAt < readAt ? JobMessage::MSG_WRITE_ERROR
                             : JobMessage::MSG_READ_ERROR,
            ShownThenReset(0, std::min(readAt, writeAt), size),
            dir / "c.crypt");
    }
  }
}

// Once Cancel is pressed a failed write in the body is a cancellation; the
// header is written before the flag is first read.
TEST_F(FileFaults, AWriteFailingAfterCancel) {
  const std::string plain = dir / "p";
  test::WriteFile(plain, test::PatternBytes(3 * kBlock));
  for (const std::int64_t writeAt : {16, 17, 15}) {
    test::FaultyFiles faults;
    faults.writeFailsAt = writeAt;
    Check(
        plain, dir / "c", "pw", faults,
        writeAt < 16 ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_CANCELLED,
        {0}, dir / "c.crypt", false);
  }
}

}  // namespace

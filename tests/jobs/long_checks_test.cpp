// The long checks: a plain file of 2,147,483,647 bytes, the largest that
// plainSize can describe, encrypted and decrypted in full. Skipped unless
// PROGRAM_LONG_CHECKS is set (tools/long-checks.sh sets it), and when the
// disk lacks room for the container and the decrypted file.

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();

// True when every byte of the file from `offset` on is zero.
bool ZerosFrom(const std::string& path, std::int64_t offset) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(offset);
  std::vector<char> block(1U << 20U);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) ||
         in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      if (block[static_cast<std::size_t>(i)] != 0) {
        return false;
      }
    }
  }
  return true;
}

TEST(LongChecks, TheLargestPlainFileBothWays) {
  if (std::getenv("PROGRAM_LONG_CHECKS") == nullptr) {
    GTEST_SKIP() << "a long check: run tools/long-checks.sh";
  }
  const test::TempDir dir;
  struct statvfs disk {};
  const std::uint64_t needed =
      2 * static_cast<std::uint64_t>(kLargest) + (std::uint64_t{64} << 20U);
  if (statvfs(dir.path().c_str(), &disk) != 0 ||
      static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize < needed) {
    GTEST_SKIP() << "needs " << (needed >> 20U) << " MiB free in "
                 << dir.path();
  }
  // A sparse file of zeros: the container holds the key bytes themselves.
  test::WriteFile(dir / "big.bin", "");
  fs::resize_file(dir / "big.bin", kLargest);

  test::JobHarness encrypt(dir / "big.bin", dir / "c", "long check");
  ASSERT_EQ(encrypt.Run(), JobMessage::MSG_DONE);
  const std::string header = test::BuildHeader("long check", "bin", kLargest);
  EXPECT_EQ(fs::file_size(dir / "c.crypt"), header.size() + kLargest);
  std::string start(header.size() + 4096, '\0');
  std::ifstream(dir / "c.crypt", std::ios::binary)
      .read(start.data(), static_cast<std::streamsize>(start.size()));
  EXPECT_TRUE(start ==
              header + test::Combine("long check", std::string(4096, '\0')));

  test::JobHarness decrypt(dir / "c.crypt", dir / "back", "long check");
  ASSERT_EQ(decrypt.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(decrypt.outputPath, dir / "back.bin");
  EXPECT_EQ(fs::file_size(dir / "back.bin"), kLargest);
  EXPECT_TRUE(ZerosFrom(dir / "back.bin", 0));
  EXPECT_EQ(decrypt.window.positions.back(), 0);
}

}  // namespace

// The frozen containers of tests/vectors (manifest.txt): the format's
// promise to the files already written. Each decrypts with the real job to
// its plain file under the plain file's extension, and the plain file
// encrypts to it byte for byte.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "jobs/path_names.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

const std::string kVectors = PROGRAM_SOURCE_DIR "/tests/vectors/";

TEST(FrozenVectors, DecryptAndEncryptByteForByte) {
  std::ifstream in(test::PathOf(kVectors + "manifest.txt"));
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    // Tab-separated; no field holds a space. The password's Windows-1251
    // bytes, in the last column, are what the containers were made with.
    struct {
      std::string container, plain, password;
    } v;
    std::istringstream(line) >> v.container >> v.plain >> v.password;
    SCOPED_TRACE(v.container);
    ++count;
    const std::string container = test::ReadFile(kVectors + v.container);
    const std::string plain = test::ReadFile(kVectors + v.plain);
    const test::TempDir dir;
    test::WriteFile(dir / v.container, container);
    test::WriteFile(dir / v.plain, plain);

    test::JobHarness decrypt(dir / v.container, dir / "back", v.password);
    ASSERT_EQ(decrypt.Run(), jobs::JobMessage::MSG_DONE);
    const std::string extension(jobs::PathExtension(v.plain));
    EXPECT_EQ(decrypt.result.outputPath,
              dir / ("back" + (extension.empty() ? "" : "." + extension)));
    EXPECT_EQ(test::ReadFile(decrypt.result.outputPath), plain);

    test::JobHarness encrypt(dir / v.plain, dir / "again", v.password);
    ASSERT_EQ(encrypt.Run(), jobs::JobMessage::MSG_DONE);
    EXPECT_TRUE(test::ReadFile(dir / "again.crypt") == container);
  }
  EXPECT_GE(count, 6);
}

}  // namespace

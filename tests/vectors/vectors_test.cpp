// The frozen containers of tests/vectors (manifest.txt): the format's
// promise to the files already written. Each decrypts with the real job to
// its plain file under the plain file's extension, and the plain file
// encrypts to it byte for byte.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "format/windows1251.h"
#include "jobs/path_names.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

const std::string kVectors = PROGRAM_SOURCE_DIR "/tests/vectors/";

struct Vector {
  std::string container, plain, password, passwordHex;
};

std::vector<Vector> Manifest() {
  std::vector<Vector> vectors;
  std::ifstream in(test::PathOf(kVectors + "manifest.txt"));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    Vector v;  // tab-separated; no field holds a space
    std::istringstream(line) >> v.container >> v.plain >> v.password >>
        v.passwordHex;
    vectors.push_back(v);
  }
  return vectors;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const char c : bytes) {
    hex += "0123456789abcdef"[static_cast<unsigned char>(c) >> 4U];
    hex += "0123456789abcdef"[static_cast<unsigned char>(c) & 0xFU];
  }
  return hex;
}

TEST(FrozenVectors, DecryptAndEncryptByteForByte) {
  const std::vector<Vector> vectors = Manifest();
  ASSERT_GE(vectors.size(), 6U);
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.container);
    EXPECT_EQ(Hex(format::Utf8ToWindows1251(v.password).value_or("")),
              v.passwordHex);
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
}

}  // namespace

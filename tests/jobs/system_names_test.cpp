// Names on each system's real disk: names beyond ASCII, the path limit as
// the system counts it, and the input reached under another name.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jobs/path_names.h"
#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

TEST(SystemNames, CyrillicNamesBothWays) {
  const test::TempDir dir;
  test::WriteFile(dir / "отчет.docx", "съдържание");
  test::JobHarness encrypt(dir / "отчет.docx", dir / "копие", "парола");
  ASSERT_EQ(encrypt.Run(), JobMessage::MSG_DONE);
  test::JobHarness decrypt(dir / "копие.crypt", dir / "върнат", "парола");
  ASSERT_EQ(decrypt.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(test::ReadFile(dir / "върнат.docx"), "съдържание");
  EXPECT_EQ(dir.Names(), (Names{"върнат.docx", "копие.crypt", "отчет.docx"}));
}

// Windows counts a path in UTF-16 units, one a Cyrillic letter; Linux in
// bytes, two a Cyrillic letter.
TEST(SystemNames, ThePathLimitCountsAsTheSystemDoes) {
  const std::size_t letterUnits = kWindows ? 1 : 2;
  const std::size_t room = jobs::kMaxPathLength - 6;  // for ".crypt"
  std::string stem(room % letterUnits, 'a');
  for (std::size_t i = 0; i < room / letterUnits; ++i) {
    stem += "я";
  }
  for (const std::string& path : {stem, stem + "a"}) {
    std::string text = path;
    std::string grown = path;
    EXPECT_EQ(jobs::AddContainerExtension(text, grown, ""), path == stem);
  }
}

// Decrypting a container with no stored extension to an output that is the
// container itself under another name must never write it.
TEST(SystemNames, TheInputUnderAnotherNameIsRefused) {
  const test::TempDir dir;
  const std::string container = test::BuildContainer("pw", "", "plain");
  test::WriteFile(dir / "in.crypt", container);
  fs::create_hard_link(test::PathOf(dir / "in.crypt"),
                       test::PathOf(dir / "link.CRYPT"));
  const struct {
    std::string output;
    bool refused;
  } rows[] = {
      {"link.CRYPT", true},
      {"IN.CRYPT", kWindows},  // letter case counts on Linux only
  };
  for (const auto& row : rows) {
    test::JobHarness job(dir / "in.crypt", dir / row.output, "pw");
    EXPECT_EQ(job.Run(),
              row.refused ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_DONE)
        << row.output;
    EXPECT_EQ(test::ReadFile(dir / "in.crypt"), container) << row.output;
  }
}

}  // namespace

// The naming rules: the extension of a path, the container suffix, the
// restored extension and the guard against a decrypted ".crypt"; and names
// on each system's real disk: the path limit as the system counts it, and
// the input reached under another name.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "jobs/path_names.h"
#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;

TEST(PathExtension, TakesTheTextAfterTheLastDotOfTheLastComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"D:\\data\\report.txt", "txt"},   {"D:\\data\\archive.tar.gz", "gz"},
      {"D:\\data.old\\readme", ""},      {"D:\\data\\notes.", ""},
      {"D:\\data\\.crypt", "crypt"},     {"report", ""},
      {"D:\\data\\FILE.CRYPT", "CRYPT"}, {"/home/d.crypt/readme", ""},
      {"/home/отчет.тхт", "тхт"},        {"", ""}};
  for (const auto& [path, extension] : cases) {
    EXPECT_EQ(jobs::PathExtension(path), extension) << path;
  }
  EXPECT_EQ(jobs::LowerAscii("CrYpT.ТХТ@["), "crypt.ТХТ@[");
  EXPECT_TRUE(jobs::IsContainerName("/x/A.Crypt"));
  EXPECT_FALSE(jobs::IsContainerName("file.crypt.bak"));
}

// text before, path before, path after; the text grows with the path.
TEST(AddContainerExtension, AppendsTheSuffixOnce) {
  const std::string cases[][3] = {
      {"out\\report", "out\\report", "out\\report.crypt"},
      {"report.txt", "report.txt", "report.txt.crypt"},
      {"report.crypt", "report.crypt", "report.crypt"},
      {"report.CRYPT", "report.CRYPT", "report.CRYPT"},
      {"out\\crypt", "out\\crypt", "out\\crypt.crypt"},
      {"report", "report.crypt", "report.crypt"},  // a second run
  };
  for (const auto& [textBefore, pathBefore, pathAfter] : cases) {
    std::string text = textBefore;
    std::string path = pathBefore;
    const std::string extension = jobs::LowerAscii(jobs::PathExtension(text));
    EXPECT_TRUE(jobs::AddContainerExtension(text, path, extension));
    EXPECT_EQ(path, pathAfter);
    EXPECT_EQ(text, pathAfter == pathBefore ? textBefore : pathAfter);
  }
}

// stored extension, path before, path after.
TEST(RestoreExtension, AppendsTheStoredExtensionUnlessTheNameHasIt) {
  const std::string cases[][3] = {
      {"txt", "report", "report.txt"},
      {"txt", "report.txt", "report.txt"},
      {"txt", "report.TXT", "report.TXT"},
      {"TXT", "report.TXT", "report.TXT"},
      {"TXT", "report.txt", "report.txt.TXT"},
      {"txt", "mytxt", "mytxt.txt"},
      {"txt", "report.doc", "report.doc.txt"},
      {"", "report.doc", "report.doc"},
      {"txt", "txt", "txt.txt"},
  };
  for (const auto& [stored, before, after] : cases) {
    std::string path = before;
    const std::string extension = jobs::LowerAscii(jobs::PathExtension(path));
    EXPECT_TRUE(jobs::RestoreExtension(path, extension, stored));
    EXPECT_EQ(path, after) << stored << " " << before;
  }

  for (const auto& [before, after] :
       {std::pair<std::string, std::string>{"a.crypt", "a.cryp"},
        {".crypt", ".crypt"},
        {"a.CRYPT", "a.CRYPT"}}) {
    std::string path = before;
    jobs::GuardContainerExtension(path);
    EXPECT_EQ(path, after);
  }
}

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

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

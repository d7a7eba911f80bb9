// The naming rules: the extension of a path, the container suffix, the
// restored extension and the guard against a decrypted ".crypt".

#include "jobs/path_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using jobs::kMaxPathLength;

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
  std::string fits(kMaxPathLength - 6, 'a');
  std::string text = fits;
  EXPECT_TRUE(jobs::AddContainerExtension(text, fits, ""));
  std::string tooLong(kMaxPathLength - 5, 'a');
  text = tooLong;
  EXPECT_FALSE(jobs::AddContainerExtension(text, tooLong, ""));
  EXPECT_EQ(tooLong.size() + text.size(), 2 * (kMaxPathLength - 5));
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
  std::string fits(kMaxPathLength - 4, 'a');
  EXPECT_TRUE(jobs::RestoreExtension(fits, "", "txt"));
  std::string tooLong(kMaxPathLength - 3, 'a');
  EXPECT_FALSE(jobs::RestoreExtension(tooLong, "", "txt"));
  EXPECT_EQ(tooLong.size(), kMaxPathLength - 3);

  for (const auto& [before, after] :
       {std::pair<std::string, std::string>{"a.crypt", "a.cryp"},
        {".crypt", ".crypt"},
        {"a.CRYPT", "a.CRYPT"}}) {
    std::string path = before;
    jobs::GuardContainerExtension(path);
    EXPECT_EQ(path, after);
  }
}

}  // namespace

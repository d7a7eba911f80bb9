#include "jobs/path_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using jobs::kMaxPathLength;

TEST(PathExtension, TakesTheTextAfterTheLastDotOfTheLastComponent) {
  EXPECT_EQ(jobs::PathExtension("D:\\data\\report.txt"), "txt");
  EXPECT_EQ(jobs::PathExtension("D:\\data\\archive.tar.gz"), "gz");
  EXPECT_EQ(jobs::PathExtension("D:\\data.old\\readme"), "");
  EXPECT_EQ(jobs::PathExtension("D:\\data\\notes."), "");
  EXPECT_EQ(jobs::PathExtension("D:\\data\\.crypt"), "crypt");
  EXPECT_EQ(jobs::PathExtension("report"), "");
  EXPECT_EQ(jobs::PathExtension("D:\\data\\FILE.CRYPT"), "CRYPT");
  EXPECT_EQ(jobs::PathExtension(""), "");
  // The forward slash separates folders as well.
  EXPECT_EQ(jobs::PathExtension("/home/ana/d.crypt/readme"), "");
  EXPECT_EQ(jobs::PathExtension("/home/ana/отчет.тхт"), "тхт");
}

TEST(PathExtension, LowerCasingTouchesOnlyLatinCapitals) {
  EXPECT_EQ(jobs::LowerAscii("CrYpT"), "crypt");
  EXPECT_EQ(jobs::LowerAscii("ТХТ@[`{"), "ТХТ@[`{");
}

TEST(PathExtension, ContainerNamesInAnyLetterCase) {
  EXPECT_TRUE(jobs::IsContainerName("a.crypt"));
  EXPECT_TRUE(jobs::IsContainerName("/x/A.CRYPT"));
  EXPECT_FALSE(jobs::IsContainerName("file.crypt.bak"));
  EXPECT_FALSE(jobs::IsContainerName("/x/d.crypt/plain"));
  EXPECT_FALSE(jobs::IsContainerName("crypt"));
}

struct ContainerNameCase {
  std::string text;
  std::string path;
  std::string after;
};

TEST(AddContainerExtension, FollowsTheNamingTable) {
  const ContainerNameCase cases[] = {
      {"D:\\out\\report", "D:\\out\\report", "D:\\out\\report.crypt"},
      {"D:\\out\\report.txt", "D:\\out\\report.txt",
       "D:\\out\\report.txt.crypt"},
      {"D:\\out\\report.crypt", "D:\\out\\report.crypt",
       "D:\\out\\report.crypt"},
      {"D:\\out\\report.CRYPT", "D:\\out\\report.CRYPT",
       "D:\\out\\report.CRYPT"},
      {"D:\\out\\crypt", "D:\\out\\crypt", "D:\\out\\crypt.crypt"},
      // Second run: the text lost the suffix, the path kept it.
      {"D:\\out\\report", "D:\\out\\report.crypt", "D:\\out\\report.crypt"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    std::string path = c.path;
    const std::string extension = jobs::LowerAscii(jobs::PathExtension(text));
    EXPECT_TRUE(jobs::AddContainerExtension(text, path, extension));
    EXPECT_EQ(path, c.after) << c.path;
    const bool appended = c.after != c.path;
    EXPECT_EQ(text, appended ? c.text + ".crypt" : c.text) << c.path;
  }
}

TEST(AddContainerExtension, RefusesANameThatWouldGrowPastThePlatformLimit) {
  std::string fits(kMaxPathLength - 6, 'a');
  std::string text = fits;
  EXPECT_TRUE(jobs::AddContainerExtension(text, fits, ""));
  EXPECT_EQ(fits.size(), kMaxPathLength);

  std::string tooLong(kMaxPathLength - 5, 'a');
  std::string tooLongText = tooLong;
  EXPECT_FALSE(jobs::AddContainerExtension(tooLongText, tooLong, ""));
  EXPECT_EQ(tooLong.size(), kMaxPathLength - 5);
  EXPECT_EQ(tooLongText.size(), kMaxPathLength - 5);
}

struct RestoreCase {
  std::string stored;
  std::string before;
  std::string after;
};

TEST(RestoreExtension, FollowsTheNamingTable) {
  const RestoreCase cases[] = {
      {"txt", "D:\\out\\report", "D:\\out\\report.txt"},
      {"txt", "D:\\out\\report.txt", "D:\\out\\report.txt"},
      {"txt", "D:\\out\\report.TXT", "D:\\out\\report.TXT"},
      {"TXT", "D:\\out\\report.TXT", "D:\\out\\report.TXT"},
      {"TXT", "D:\\out\\report.txt", "D:\\out\\report.txt.TXT"},
      {"txt", "D:\\out\\mytxt", "D:\\out\\mytxt.txt"},
      {"txt", "D:\\out\\report.doc", "D:\\out\\report.doc.txt"},
      {"", "D:\\out\\report.doc", "D:\\out\\report.doc"},
      // The length test comes first: nothing before the name is looked at.
      {"txt", "txt", "txt.txt"},
      {"txt", ".txt", ".txt"},
  };
  for (const auto& c : cases) {
    std::string path = c.before;
    const std::string extension = jobs::LowerAscii(jobs::PathExtension(path));
    EXPECT_TRUE(jobs::RestoreExtension(path, extension, c.stored));
    EXPECT_EQ(path, c.after) << c.stored << " / " << c.before;
  }
}

TEST(RestoreExtension, ComparesTheTextsExtensionNotThePaths) {
  // The text says report.txt; the path was extended by an earlier job.
  std::string path = "report.txt.crypt";
  EXPECT_TRUE(jobs::RestoreExtension(path, "txt", "txt"));
  EXPECT_EQ(path, "report.txt.crypt");
}

TEST(RestoreExtension, RefusesANameThatWouldGrowPastThePlatformLimit) {
  std::string fits(kMaxPathLength - 4, 'a');
  EXPECT_TRUE(jobs::RestoreExtension(fits, "", "txt"));
  EXPECT_EQ(fits.size(), kMaxPathLength);
  std::string tooLong(kMaxPathLength - 3, 'a');
  EXPECT_FALSE(jobs::RestoreExtension(tooLong, "", "txt"));
  EXPECT_EQ(tooLong.size(), kMaxPathLength - 3);
}

TEST(GuardContainerExtension, DropsTheLastCharacterOfARestoredCryptName) {
  std::string path = "a.crypt";
  jobs::GuardContainerExtension(path);
  EXPECT_EQ(path, "a.cryp");
  std::string exact = ".crypt";  // six characters: left alone
  jobs::GuardContainerExtension(exact);
  EXPECT_EQ(exact, ".crypt");
  std::string upper = "a.CRYPT";  // letter case counts
  jobs::GuardContainerExtension(upper);
  EXPECT_EQ(upper, "a.CRYPT");
}

}  // namespace

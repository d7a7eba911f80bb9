// The code page in which passwords and extensions are stored.

#include "format/windows1251.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(Windows1251, OneByteACharacterAndNothingElse) {
  using Bytes = std::optional<std::string>;
  EXPECT_EQ(format::Utf8ToWindows1251("парола"),
            Bytes("\xEF\xE0\xF0\xEE\xEB\xE0"));
  EXPECT_EQ(format::Utf8ToWindows1251("Ёё€№"), Bytes("\xA8\xB8\x88\xB9"));
  EXPECT_EQ(format::Utf8ToWindows1251("日"), std::nullopt);
  EXPECT_EQ(format::Utf8ToWindows1251("\xFF"), std::nullopt);  // not UTF-8
  EXPECT_EQ(format::Windows1251ToUtf8("\xC0\xFF"), Bytes("Ая"));
  EXPECT_EQ(format::Windows1251ToUtf8("\x98"), std::nullopt);  // unassigned
}

// Extensions: Windows-1251 where possible, else the name's own bytes; read
// back as UTF-8 when they are non-ASCII UTF-8.
TEST(Windows1251, StoredExtensions) {
  EXPECT_EQ(format::StoredExtensionBytes("тхт"), "\xF2\xF5\xF2");
  EXPECT_EQ(format::StoredExtensionBytes("日本"), "日本");
  EXPECT_EQ(format::ExtensionFromStoredBytes("\xF2\xF5\xF2"), "тхт");
  EXPECT_EQ(format::ExtensionFromStoredBytes("日本"), "日本");
  EXPECT_EQ(format::ExtensionFromStoredBytes("TXT"), "TXT");
  EXPECT_EQ(format::ExtensionFromStoredBytes("a\x98"), "a\x98");
}

}  // namespace

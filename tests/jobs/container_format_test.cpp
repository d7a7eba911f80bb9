#include "jobs/container_format.h"

#include <gtest/gtest.h>

#include "jobs/windows1251.h"

namespace {

using jobs::PasswordWord;

TEST(PasswordWord, SignExtendsAndFlipsTheBitOfItsPosition) {
  EXPECT_EQ(PasswordWord('a', 0), 0x0060);     // 0x61 ^ 0x0001
  EXPECT_EQ(PasswordWord('a', 5), 0x0041);     // 0x61 ^ 0x0020
  EXPECT_EQ(PasswordWord('\xEF', 0), 0xFFEE);  // Cyrillic п
  EXPECT_EQ(PasswordWord('\xEF', 9), 0xFDEF);  // high byte 0xFD
  EXPECT_EQ(PasswordWord('\x80', 8), 0xFE80);
  EXPECT_EQ(PasswordWord('\x7F', 15), 0x807F);  // bit 15 set
  EXPECT_EQ(PasswordWord('\xFF', 15), 0x7FFF);
}

TEST(ContainerIntegers, AreLittleEndianAndSigned) {
  const auto bytes = jobs::EncodeInt32(0x0403'0201);
  EXPECT_EQ(bytes[0], std::byte{1});
  EXPECT_EQ(bytes[3], std::byte{4});
  EXPECT_EQ(jobs::DecodeInt32(jobs::EncodeInt32(-5)), -5);
  EXPECT_EQ(jobs::DecodeInt32({std::byte{0xFF}, std::byte{0xFF},
                               std::byte{0xFF}, std::byte{0x7F}}),
            INT32_MAX);
  const auto word = jobs::EncodeWord(0xFDEF);
  EXPECT_EQ(word[0], std::byte{0xEF});
  EXPECT_EQ(word[1], std::byte{0xFD});
  EXPECT_EQ(jobs::DecodeWord(word), 0xFDEF);
}

TEST(Windows1251, CyrillicIsOneByteALetter) {
  EXPECT_EQ(jobs::Utf8ToWindows1251("парола"),
            std::optional<std::string>("\xEF\xE0\xF0\xEE\xEB\xE0"));
  EXPECT_EQ(jobs::Utf8ToWindows1251("Ёё€"),
            std::optional<std::string>("\xA8\xB8\x88"));
  EXPECT_EQ(jobs::Utf8ToWindows1251("abc"), std::optional<std::string>("abc"));
  EXPECT_EQ(jobs::Utf8ToWindows1251(""), std::optional<std::string>(""));
}

TEST(Windows1251, RefusesWhatItCannotHold) {
  EXPECT_EQ(jobs::Utf8ToWindows1251("日本"), std::nullopt);
  EXPECT_EQ(jobs::Utf8ToWindows1251("ä"), std::nullopt);
  EXPECT_EQ(jobs::Utf8ToWindows1251("\xFF\xFE"), std::nullopt);  // not UTF-8
  EXPECT_EQ(jobs::Windows1251ToUtf8("\x98"), std::nullopt);
  EXPECT_EQ(jobs::Windows1251ToUtf8("\xEF\xE0"),
            std::optional<std::string>("па"));
}

TEST(Windows1251, StoredExtensionsRoundTrip) {
  EXPECT_EQ(jobs::StoredExtensionBytes("TXT"), "TXT");
  EXPECT_EQ(jobs::StoredExtensionBytes("тхт"), "\xF2\xF5\xF2");
  EXPECT_EQ(jobs::StoredExtensionBytes("日本"), "日本");  // name's own bytes
  EXPECT_EQ(jobs::ExtensionFromStoredBytes("\xF2\xF5\xF2"), "тхт");
  EXPECT_EQ(jobs::ExtensionFromStoredBytes("日本"), "日本");
  EXPECT_EQ(jobs::ExtensionFromStoredBytes("txt"), "txt");
  // Not UTF-8 and not Windows-1251: kept as it is.
  EXPECT_EQ(jobs::ExtensionFromStoredBytes("a\x98"), "a\x98");
  EXPECT_TRUE(jobs::IsNonAsciiUtf8("тхт"));
  EXPECT_FALSE(jobs::IsNonAsciiUtf8("txt"));
  EXPECT_FALSE(jobs::IsNonAsciiUtf8("\xF2\xF5\xF2"));
}

}  // namespace

// The code page's whole table, written out once from the code page's
// definition: iconv on Linux and Windows' own conversions must both give it;
// and what the container makes of it for name extensions.

#include "format/windows1251.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

namespace {

// The characters of the bytes 0x80 to 0xBF; 0 for 0x98, which Windows-1251
// leaves unassigned. The bytes below 0x80 are ASCII; 0xC0 to 0xFF are
// U+0410 to U+044F, А to я.
constexpr std::array<char32_t, 64> kBytes80ToBF = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// UTF-8 of a character below U+10000.
std::string Utf8(char32_t c) {
  const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
  if (c < 0x80) {
    return {byte(c)};
  }
  if (c < 0x800) {
    return {byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F))};
  }
  return {byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)),
          byte(0x80 | (c & 0x3F))};
}

TEST(Windows1251, TheWholeTableBothWays) {
  std::string everyByte;
  std::string everyCharacter;
  for (unsigned value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const char32_t c = value < 0x80   ? value
                       : value < 0xC0 ? kBytes80ToBF[value - 0x80]
                                      : 0x0410 + (value - 0xC0);
    if (value == 0x98) {
      EXPECT_EQ(format::Windows1251ToUtf8(byte), std::nullopt);
      continue;
    }
    EXPECT_EQ(format::Windows1251ToUtf8(byte), Utf8(c)) << value;
    EXPECT_EQ(format::Utf8ToWindows1251(Utf8(c)), byte) << value;
    everyByte += byte;
    everyCharacter += Utf8(c);
  }
  EXPECT_EQ(format::Windows1251ToUtf8(everyByte), everyCharacter);
  EXPECT_EQ(format::Utf8ToWindows1251(everyCharacter), everyByte);
}

TEST(Windows1251, NoByteForCharactersOutsideTheTable) {
  // U+0098 (what Windows reads 0x98 as), a C1 control, and characters that
  // a best fit would turn into "a", "A", "-" or "A".
  for (const char32_t c : {0x0098, 0x0081, 0x00E4, 0x0100, 0x2212, 0xFF21}) {
    EXPECT_EQ(format::Utf8ToWindows1251(Utf8(c)), std::nullopt)
        << static_cast<unsigned>(c);
  }
  const std::string beyondU10000 = "\xF0\x9F\x98\x80";
  EXPECT_TRUE(format::IsUtf8(beyondU10000));
  EXPECT_EQ(format::Utf8ToWindows1251(beyondU10000), std::nullopt);
  // Not UTF-8: a lone continuation byte, a cut sequence, an overlong NUL,
  // a surrogate, a character past U+10FFFF.
  for (const std::string bytes :
       {"\x80", "\xE2\x82", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(format::IsUtf8(bytes));
    EXPECT_EQ(format::Utf8ToWindows1251(bytes), std::nullopt);
  }
}

// Extensions are Windows-1251 bytes both ways, also where those bytes happen
// to be valid UTF-8 ("Рі" is D0 B3, "г" in UTF-8). No control character,
// and no 0x98, goes into a name.
TEST(Windows1251, StoredExtensions) {
  const struct {
    std::string name;
    std::optional<std::string> stored;
  } rows[] = {{"тхт", "\xF2\xF5\xF2"}, {"Рі", "\xD0\xB3"},
              {"Ді", "\xC4\xB3"},      {"TXT", "TXT"},
              {"日本", std::nullopt},  {"a\nb", std::nullopt},
              {"\x1B", std::nullopt},  {"\x7F", std::nullopt},
              {"\u0098", std::nullopt}};
  for (const auto& row : rows) {
    EXPECT_EQ(format::StoredExtensionBytes(row.name), row.stored) << row.name;
    if (row.stored) {
      EXPECT_EQ(format::ExtensionFromStoredBytes(*row.stored), row.name);
    }
  }
  for (const std::string bytes : {"a\x98", "\x07", "x\ny", "\x7F"}) {
    EXPECT_EQ(format::ExtensionFromStoredBytes(bytes), std::nullopt) << bytes;
  }
  EXPECT_TRUE(format::CodePageAvailable());
}

}  // namespace

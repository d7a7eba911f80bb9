// The header codec: the layout written field by field, and the reader's
// checks in their order on headers built by hand.

#include "format/container_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/support/containers.h"

namespace {

using format::HeaderFault;
using format::HeaderPart;

TEST(PasswordWord, SignExtendsAndFlipsTheBitOfItsPosition) {
  const struct {
    std::size_t position;
    std::uint16_t word;
    char character;
  } cases[] = {{0, 0x0060, 'a'},     {0, 0xFFEE, '\xEF'}, {9, 0xFDEF, '\xEF'},
               {15, 0x807F, '\x7F'}, {7, 0xFF00, '\x80'}, {3, 0x0039, '1'}};
  for (const auto& c : cases) {
    EXPECT_EQ(format::PasswordWord(c.character, c.position), c.word)
        << c.character << " " << c.position;
  }
}

TEST(EncodeHeader, WritesTheLayout) {
  EXPECT_EQ(format::EncodeHeader({"abc", "TXT", 5}),
            std::string("\x03\0\0\0"
                        "\x60\0\x60\0\x67\0"
                        "\x03\0\0\0"
                        "TXT"
                        "\x05\0\0\0",
                        21));
}

// The container of the layout example: "abc", extension TXT, 5 bytes; the
// header is 21 bytes.
const std::string kHeader = test::BuildHeader("abc", "TXT", 5);
constexpr std::int64_t kSize = 26;

TEST(DecodeHeader, ReadsWhatTheWriterWrote) {
  const struct {
    std::string bytes, password;
    std::int64_t containerSize;
    format::ContainerHeader header;
    std::size_t size;
  } cases[] = {
      {kHeader, "abc", kSize, {"abc", "TXT", 5}, 21},
      {test::BuildHeader("x", std::string(259, 'e'), 0),
       "x",
       273,
       {"x", std::string(259, 'e'), 0},
       273},
      {test::BuildHeader("abc", std::string("md\0z", 4), 1),
       "abc",
       23,
       {"abc", "md", 1},
       22},
      {kHeader.substr(0, 10) + std::string("\xFF\xFF\xFF\xFF\x02\0\0\0", 8),
       "abc",
       20,
       {"abc", "", 2},
       18},
      {kHeader.substr(0, 10) + std::string("\0\0\0\x80\x02\0\0\0", 8),
       "abc",
       20,
       {"abc", "", 2},
       18},
      {test::BuildHeader("abc", "", INT32_MAX),
       "abc",
       std::int64_t{18} + INT32_MAX,
       {"abc", "", INT32_MAX},
       18},
  };
  for (const auto& c : cases) {
    const format::HeaderDecoding decoded =
        format::DecodeHeader(c.bytes, c.password, c.containerSize);
    EXPECT_EQ(decoded.fault, std::nullopt) << c.header.extension;
    EXPECT_EQ(decoded.header, c.header);
    EXPECT_EQ(decoded.size, c.size);
  }
}

TEST(DecodeHeader, ACutFailsTheFieldItCuts) {
  for (std::size_t length = 0; length < kHeader.size(); ++length) {
    const format::HeaderDecoding decoded =
        format::DecodeHeader(kHeader.substr(0, length), "abc", kSize);
    EXPECT_EQ(decoded.fault, HeaderFault::kCutShort) << length;
    EXPECT_EQ(decoded.faultyPart, length < 10   ? HeaderPart::kPassword
                                  : length < 17 ? HeaderPart::kExtension
                                                : HeaderPart::kPlainSize)
        << length;
  }
}

// Each row fails one check, or several where the order decides.
TEST(DecodeHeader, RefusesInTheReadersOrder) {
  const auto withExtensionLength = [](std::int64_t length) {
    std::string bytes = kHeader.substr(0, 10);
    test::AppendInt32(bytes, length);
    return bytes;
  };
  const struct {
    const char* row;
    std::string bytes, password;
    std::int64_t containerSize;
    HeaderFault fault;
    HeaderPart part;
  } cases[] = {
      {"shorter password", kHeader, "ab", kSize, HeaderFault::kWrongPassword,
       HeaderPart::kPassword},
      {"longer password", kHeader, "abcd", kSize, HeaderFault::kWrongPassword,
       HeaderPart::kPassword},
      {"negative length", std::string("\xFF\xFF\xFF\xFF", 4), "abc", kSize,
       HeaderFault::kWrongPassword, HeaderPart::kPassword},
      {"first word", kHeader, "Abc", kSize, HeaderFault::kWrongPassword,
       HeaderPart::kPassword},
      {"last word", kHeader, "abC", kSize, HeaderFault::kWrongPassword,
       HeaderPart::kPassword},
      {"wrong word, then cut", kHeader.substr(0, 8), "aXc", kSize,
       HeaderFault::kWrongPassword, HeaderPart::kPassword},
      {"wrong word, then damaged", withExtensionLength(260), "abX", kSize,
       HeaderFault::kWrongPassword, HeaderPart::kPassword},
      {"extension of 260", withExtensionLength(260), "abc", kSize,
       HeaderFault::kDamaged, HeaderPart::kExtension},
      {"slash", test::BuildHeader("abc", "x/../y", 0), "abc", 24,
       HeaderFault::kDamaged, HeaderPart::kExtension},
      {"backslash", test::BuildHeader("abc", "x\\y", 0), "abc", 21,
       HeaderFault::kDamaged, HeaderPart::kExtension},
      {"newline", test::BuildHeader("abc", "x\ny", 0), "abc", 21,
       HeaderFault::kDamaged, HeaderPart::kExtension},
      {"escape", test::BuildHeader("abc", "\x1B[", 0), "abc", 20,
       HeaderFault::kDamaged, HeaderPart::kExtension},
      {"one byte short", kHeader, "abc", kSize - 1, HeaderFault::kDamaged,
       HeaderPart::kPlainSize},
      {"one byte more", kHeader, "abc", kSize + 1, HeaderFault::kDamaged,
       HeaderPart::kPlainSize},
      {"4 GiB more", kHeader, "abc", kSize + (std::int64_t{1} << 32),
       HeaderFault::kDamaged, HeaderPart::kPlainSize},
      {"negative plainSize", test::BuildHeader("abc", "", -1), "abc", 18,
       HeaderFault::kDamaged, HeaderPart::kPlainSize},
      {"INT32_MIN plainSize", test::BuildHeader("abc", "", INT32_MIN), "abc",
       18, HeaderFault::kDamaged, HeaderPart::kPlainSize},
  };
  for (const auto& c : cases) {
    const format::HeaderDecoding decoded =
        format::DecodeHeader(c.bytes, c.password, c.containerSize);
    EXPECT_EQ(decoded.fault, c.fault) << c.row;
    EXPECT_EQ(decoded.faultyPart, c.part) << c.row;
  }
}

}  // namespace

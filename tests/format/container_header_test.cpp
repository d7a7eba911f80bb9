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

// The container of the layout example: "abc", extension TXT, 5 bytes; the
// header is 21 bytes.
const std::string kHeader = test::BuildHeader("abc", "TXT", 5);
constexpr std::int64_t kSize = 26;

// kHeader's password, then the given extensionLength.
std::string WithExtensionLength(std::int64_t length) {
  std::string bytes = kHeader.substr(0, 10);
  test::AppendInt32(bytes, length);
  return bytes;
}

// Each header is followed by exactly plainSize bytes.
TEST(DecodeHeader, ReadsWhatTheWriterWrote) {
  const struct {
    std::string bytes, extension;
    std::int32_t plainSize;
  } cases[] = {
      {kHeader, "TXT", 5},
      // A negative extension length reads as no extension.
      {WithExtensionLength(-1) + std::string("\x02\0\0\0", 4), "", 2},
      {WithExtensionLength(INT32_MIN) + std::string("\x02\0\0\0", 4), "", 2},
      {test::BuildHeader("abc", "", INT32_MAX), "", INT32_MAX},
  };
  for (const auto& c : cases) {
    const format::HeaderDecoding decoded = format::DecodeHeader(
        c.bytes, "abc",
        c.plainSize + static_cast<std::int64_t>(c.bytes.size()));
    EXPECT_EQ(decoded.fault, std::nullopt) << c.extension;
    EXPECT_EQ(decoded.header,
              (format::ContainerHeader{"abc", c.extension, c.plainSize}));
    EXPECT_EQ(decoded.size, c.bytes.size());
  }
}

// Each row fails one check, or several where the order decides.
TEST(DecodeHeader, RefusesInTheReadersOrder) {
  using enum HeaderFault;
  using enum HeaderPart;
  const struct {
    const char* row;
    std::string bytes, password;
    std::int64_t containerSize;
    HeaderFault fault;
    HeaderPart part;
  } cases[] = {
      {"shorter password", kHeader, "ab", kSize, kWrongPassword, kPassword},
      {"longer password", kHeader, "abcd", kSize, kWrongPassword, kPassword},
      {"negative length", std::string("\xFF\xFF\xFF\xFF", 4), "abc", kSize,
       kWrongPassword, kPassword},
      {"first word", kHeader, "Abc", kSize, kWrongPassword, kPassword},
      {"last word", kHeader, "abC", kSize, kWrongPassword, kPassword},
      {"wrong word, then cut", kHeader.substr(0, 8), "aXc", kSize,
       kWrongPassword, kPassword},
      {"wrong word, then damaged", WithExtensionLength(260), "abX", kSize,
       kWrongPassword, kPassword},
      {"extension of 260", WithExtensionLength(260), "abc", kSize, kDamaged,
       kExtension},
      {"slash", test::BuildHeader("abc", "x/../y", 0), "abc", 24, kDamaged,
       kExtension},
      {"backslash", test::BuildHeader("abc", "x\\y", 0), "abc", 21, kDamaged,
       kExtension},
      {"newline", test::BuildHeader("abc", "x\ny", 0), "abc", 21, kDamaged,
       kExtension},
      {"escape", test::BuildHeader("abc", "\x1B[", 0), "abc", 20, kDamaged,
       kExtension},
      {"one byte short", kHeader, "abc", kSize - 1, kDamaged, kPlainSize},
      {"one byte more", kHeader, "abc", kSize + 1, kDamaged, kPlainSize},
      {"4 GiB more", kHeader, "abc", kSize + (std::int64_t{1} << 32), kDamaged,
       kPlainSize},
      {"negative plainSize", test::BuildHeader("abc", "", -1), "abc", 18,
       kDamaged, kPlainSize},
      {"INT32_MIN plainSize", test::BuildHeader("abc", "", INT32_MIN), "abc",
       18, kDamaged, kPlainSize},
  };
  for (const auto& c : cases) {
    const format::HeaderDecoding decoded =
        format::DecodeHeader(c.bytes, c.password, c.containerSize);
    EXPECT_EQ(decoded.fault, c.fault) << c.row;
    EXPECT_EQ(decoded.faultyPart, c.part) << c.row;
  }
}

}  // namespace

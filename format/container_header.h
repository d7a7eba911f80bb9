#pragma once

// A container is its header followed by the body: plainSize bytes, each the
// plain byte XOR its key byte. The header's fields, in order, with no gaps
// and all integers little-endian (doc/container-format.md):
//   passwordLength   signed 32-bit, 1..16
//   passwordWords    one unsigned 16-bit PasswordWord per password character
//   extensionLength  signed 32-bit
//   extension        extensionLength bytes, the plain file's name extension
//   plainSize        signed 32-bit

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace format {

// The stored extension holds at most this many bytes; a longer one marks a
// damaged or foreign container.
inline constexpr std::int32_t kMaxExtensionLength = 259;

// The largest plain file that plainSize can describe.
inline constexpr std::int64_t kMaxPlainSize = INT32_MAX;

// The longest header a reader accepts: sixteen password words and the
// longest extension.
inline constexpr std::size_t kMaxHeaderSize =
    4 + 2 * 16 + 4 + kMaxExtensionLength + 4;

// The word stored for the password character at position 0..15: the
// character's Windows-1251 byte sign-extended to 16 bits, with bit
// `position` flipped.
std::uint16_t PasswordWord(char character, std::size_t position);

// What a header says. The password is stored as its PasswordWords.
struct ContainerHeader {
  std::string password;   // Windows-1251 bytes, 1 to 16 of them
  std::string extension;  // the plain file's name extension, as stored
  std::int32_t plainSize = 0;

  friend bool operator==(const ContainerHeader&,
                         const ContainerHeader&) = default;
};

// The header's bytes as the encryption writes them.
std::string EncodeHeader(const ContainerHeader& header);

// Why a reader refuses a header. Each fault gives one message of the
// decryption run.
enum class HeaderFault : std::uint8_t {
  // A field ends before its last byte: the container is cut short, or a
  // read stopped there. "грешка при четенето на входния файл"
  kCutShort,
  // The stored password length, or a password word, differs from the typed
  // password's. "грешна парола"
  kWrongPassword,
  // extensionLength above kMaxExtensionLength, a folder separator or a
  // control character in the extension, or a container whose length is not the
  // header's and
  // plainSize's. "грешка - повреден входен файл"
  kDamaged,
};

// The parts of a header, in the order the reader checks them.
enum class HeaderPart : std::uint8_t {
  kPassword,   // passwordLength and passwordWords
  kExtension,  // extensionLength and extension
  kPlainSize,  // plainSize, and the container's length against it
};

struct HeaderDecoding {
  // Nothing when every check passed.
  std::optional<HeaderFault> fault;
  // Where the fault lies; every part before it passed.
  HeaderPart faultyPart = HeaderPart::kPassword;
  // The fields of the parts that passed. The extension ends at its first
  // zero byte, if it holds one.
  ContainerHeader header;
  // Where the body starts, once every check has passed.
  std::size_t size = 0;
};

// Reads a header from the first bytes of a container of `containerSize`
// bytes (`bytes` may stop anywhere: the container is shorter than
// kMaxHeaderSize, or a read failed) and checks it against the typed
// password (Windows-1251) in the reader's order, up to the first failure:
// passwordLength against the password's length; each word against
// PasswordWord, up to the first that differs; extensionLength (0 or less is
// no extension) and the extension; plainSize; and that the container is
// exactly the header and plainSize bytes long.
HeaderDecoding DecodeHeader(std::string_view bytes, std::string_view password,
                            std::int64_t containerSize);

}  // namespace format

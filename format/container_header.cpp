#include "format/container_header.h"

#include <algorithm>
#include <cassert>

#include "cipher/key_loading.h"
#include "format/windows1251.h"

namespace format {

namespace {

void AppendInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (unsigned shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((bits >> shift) & 0xFFU);
  }
}

void AppendWord(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFFU);
  out += static_cast<char>(value >> 8U);
}

// Takes the header's fields off the front of the bytes read; each Take
// fails once the bytes run out before the field's end.
class FieldReader {
 public:
  explicit FieldReader(std::string_view bytes) : bytes_(bytes) {}

  [[nodiscard]] std::size_t Position() const { return position_; }

  bool TakeInt32(std::int32_t& value) {
    std::uint32_t bits = 0;
    if (!TakeLittleEndian(4, bits)) {
      return false;
    }
    value = static_cast<std::int32_t>(bits);
    return true;
  }
  bool TakeWord(std::uint16_t& value) {
    std::uint32_t bits = 0;
    if (!TakeLittleEndian(2, bits)) {
      return false;
    }
    value = static_cast<std::uint16_t>(bits);
    return true;
  }
  bool TakeBytes(std::size_t count, std::string_view& taken) {
    if (bytes_.size() - position_ < count) {
      return false;
    }
    taken = bytes_.substr(position_, count);
    position_ += count;
    return true;
  }

 private:
  bool TakeLittleEndian(std::size_t width, std::uint32_t& bits) {
    std::string_view taken;
    if (!TakeBytes(width, taken)) {
      return false;
    }
    bits = 0;
    for (std::size_t i = width; i > 0; --i) {
      bits = (bits << 8U) | static_cast<unsigned char>(taken[i - 1]);
    }
    return true;
  }

  std::string_view bytes_;
  std::size_t position_ = 0;
};

HeaderDecoding Refuse(HeaderDecoding decoding, HeaderFault fault,
                      HeaderPart part) {
  decoding.fault = fault;
  decoding.faultyPart = part;
  return decoding;
}

}  // namespace

std::uint16_t PasswordWord(char character, std::size_t position) {
  assert(position < cipher::kMaxPasswordLength);
  return static_cast<std::uint16_t>(cipher::WidenCharacter(character) ^
                                    (1U << position));
}

std::string EncodeHeader(const ContainerHeader& header) {
  std::string out;
  AppendInt32(out, static_cast<std::int32_t>(header.password.size()));
  for (std::size_t i = 0; i < header.password.size(); ++i) {
    AppendWord(out, PasswordWord(header.password[i], i));
  }
  AppendInt32(out, static_cast<std::int32_t>(header.extension.size()));
  out += header.extension;
  AppendInt32(out, header.plainSize);
  return out;
}

HeaderDecoding DecodeHeader(std::string_view bytes, std::string_view password,
                            std::int64_t containerSize) {
  HeaderDecoding decoding;
  FieldReader reader(bytes);

  std::int32_t passwordLength = 0;
  if (!reader.TakeInt32(passwordLength)) {
    return Refuse(decoding, HeaderFault::kCutShort, HeaderPart::kPassword);
  }
  if (passwordLength != static_cast<std::int64_t>(password.size())) {
    return Refuse(decoding, HeaderFault::kWrongPassword, HeaderPart::kPassword);
  }
  for (std::size_t i = 0; i < password.size(); ++i) {
    std::uint16_t word = 0;
    if (!reader.TakeWord(word)) {
      return Refuse(decoding, HeaderFault::kCutShort, HeaderPart::kPassword);
    }
    if (word != PasswordWord(password[i], i)) {
      return Refuse(decoding, HeaderFault::kWrongPassword,
                    HeaderPart::kPassword);
    }
  }
  decoding.header.password = password;

  std::int32_t extensionLength = 0;
  if (!reader.TakeInt32(extensionLength)) {
    return Refuse(decoding, HeaderFault::kCutShort, HeaderPart::kExtension);
  }
  if (extensionLength > kMaxExtensionLength) {
    return Refuse(decoding, HeaderFault::kDamaged, HeaderPart::kExtension);
  }
  std::string_view extension;
  if (!reader.TakeBytes(
          static_cast<std::size_t>(std::max<std::int32_t>(extensionLength, 0)),
          extension)) {
    return Refuse(decoding, HeaderFault::kCutShort, HeaderPart::kExtension);
  }
  // Every stored byte is consumed; the extension ends at the first zero.
  extension = extension.substr(0, extension.find('\0'));
  // A folder separator would let the restored name point outside the chosen
  // folder, and a control character would end up in a file name; no
  // container written from a file name holds either.
  if (extension.find_first_of("/\\") != std::string_view::npos ||
      !std::all_of(extension.begin(), extension.end(),
                   IsStorableExtensionByte)) {
    return Refuse(decoding, HeaderFault::kDamaged, HeaderPart::kExtension);
  }
  decoding.header.extension = extension;

  if (!reader.TakeInt32(decoding.header.plainSize)) {
    return Refuse(decoding, HeaderFault::kCutShort, HeaderPart::kPlainSize);
  }
  // In 64 bits: a container near the plain size limit is itself above it,
  // and a negative plainSize never matches.
  const auto headerSize = static_cast<std::int64_t>(reader.Position());
  if (containerSize - headerSize != decoding.header.plainSize) {
    return Refuse(decoding, HeaderFault::kDamaged, HeaderPart::kPlainSize);
  }
  decoding.size = reader.Position();
  return decoding;
}

}  // namespace format

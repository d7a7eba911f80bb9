// Writes the frozen test vectors of tests/vectors/: plain files, their
// containers and the manifest. The containers come from the cell-by-cell
// model of the register (tests/cipher/reference_register.h) and a header
// laid out here by hand, field by field, so that nothing of the program's
// own cipher or format code goes into them. Run once; the files are
// committed, and every later version must read and write them unchanged.
//
//   cmake --build build --target make_vectors
//   build/tests/make_vectors tests/vectors

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cipher/tap_pattern.h"
#include "tests/cipher/reference_register.h"

namespace {

struct Vector {
  const char* plainName;     // UTF-8, as on disk
  const char* extension;     // the name's extension in Windows-1251
  const char* password;      // UTF-8, as typed
  const char* password1251;  // the same in Windows-1251
  std::size_t size;
};

// Short and 16-character passwords, Cyrillic ones, first characters from
// 0x80 up (a 16-character one sets the carry), extensions in mixed letter
// case and in Cyrillic, none at all, and an empty file.
const Vector kVectors[] = {
    {"archive.tar.gz", "gz", "a", "a", 64},
    {"notes.TXT", "TXT", "0123456789abcdef", "0123456789abcdef", 300},
    {"отчет.Тхт", "\xD2\xF5\xF2", "парола", "\xEF\xE0\xF0\xEE\xEB\xE0", 200},
    {"data.bin", "bin", "абвгдежзийклмноп",
     "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF", 1000},
    {"readme", "", "Ёж€№", "\xA8\xE6\x88\xB9", 500},
    {"empty.Log", "Log", "x7", "x7", 0},
};

void AppendInt32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((value >> shift) & 0xFFU);
  }
}

std::string Header(const std::string& password, const std::string& extension,
                   std::size_t plainSize) {
  std::string out;
  AppendInt32(out, static_cast<std::uint32_t>(password.size()));
  for (std::size_t i = 0; i < password.size(); ++i) {
    const auto byte = static_cast<unsigned char>(password[i]);
    const unsigned word = (byte >= 0x80 ? 0xFF00U | byte : byte) ^ (1U << i);
    out += static_cast<char>(word & 0xFFU);
    out += static_cast<char>(word >> 8U);
  }
  AppendInt32(out, static_cast<std::uint32_t>(extension.size()));
  out += extension;
  AppendInt32(out, static_cast<std::uint32_t>(plainSize));
  return out;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += "0123456789abcdef"[byte >> 4U];
    hex += "0123456789abcdef"[byte & 0xFU];
  }
  return hex;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::string manifest =
      "# Frozen containers. Each decrypts under its password to its plain "
      "file,\n# whose extension comes back on the output name, and the plain "
      "file\n# encrypts under it to the container byte for byte.\n"
      "# container\tplain file\tpassword (UTF-8)\tpassword (Windows-1251, "
      "hex)\n";
  std::mt19937 generator(1251);
  for (const Vector& v : kVectors) {
    std::string plain(v.size, '\0');
    for (char& c : plain) {
      c = static_cast<char>(generator() & 0xFFU);
    }
    auto model = test::ReferenceRegister::WithPattern(cipher::kTapPattern);
    model.Load(v.password1251);
    std::string container = Header(v.password1251, v.extension, v.size);
    for (const char c : plain) {
      container += static_cast<char>(c ^ model.KeyByte());
    }
    const std::string containerName = std::string(v.plainName) + ".crypt";
    Write(folder / v.plainName, plain);
    Write(folder / containerName, container);
    manifest += containerName + "\t" + v.plainName + "\t" + v.password + "\t" +
                Hex(v.password1251) + "\n";
  }
  Write(folder / "manifest.txt", manifest);
  return 0;
}

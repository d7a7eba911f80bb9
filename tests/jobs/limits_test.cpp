// The limits of the format and of the platform: the largest plain size,
// names exactly at the path limit, the longest stored extension, and
// negative header fields. The full 2,147,483,647-byte jobs are in the long
// checks (long_checks_test.cpp).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "jobs/path_names.h"
#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;
constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();

Names NamesIn(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The disk, keeping the first bytes each output is given.
class KeepingFiles final : public jobs::JobFiles {
 public:
  std::string written;

  std::unique_ptr<jobs::InputFile> OpenInput(const std::string& path) override {
    return jobs::DiskFiles().OpenInput(path);
  }
  std::unique_ptr<jobs::OutputFile> CreateOutput(
      const std::string& path) override {
    auto file = jobs::DiskFiles().CreateOutput(path);
    return file ? std::make_unique<Output>(std::move(file), written) : nullptr;
  }
  bool SameFile(const std::string& a, const std::string& b) override {
    return jobs::DiskFiles().SameFile(a, b);
  }

 private:
  struct Output final : jobs::OutputFile {
    Output(std::unique_ptr<jobs::OutputFile> f, std::string& w)
        : file(std::move(f)), written(w) {}
    bool Write(const void* data, std::size_t size) override {
      if (written.size() < 64) {
        written.append(static_cast<const char*>(data),
                       std::min<std::size_t>(size, 64));
      }
      return file->Write(data, size);
    }
    bool Commit() override { return file->Commit(); }
    void Discard() override { file->Discard(); }
    std::unique_ptr<jobs::OutputFile> file;
    std::string& written;
  };
};

// The largest plain size is taken in both directions: the header says so
// and the body starts. The job is cancelled at its first progress step, so
// that it stays quick (sparse files, nothing is written to keep).
TEST(Limits, TheLargestPlainSizeIsAccepted) {
  const test::TempDir dir;
  test::WriteFile(dir / "big.bin", "");
  fs::resize_file(dir / "big.bin", kLargest);
  const std::string header = test::BuildHeader("pw", "bin", kLargest);
  test::WriteFile(dir / "big.crypt", header);
  fs::resize_file(dir / "big.crypt", header.size() + kLargest);
  for (const std::string name : {"big.bin", "big.crypt"}) {
    KeepingFiles files;
    test::JobHarness job(dir / name, dir / "out", "pw");
    job.window.onPosition = [&](int) { job.running.store(0); };
    EXPECT_EQ(job.Run(files), JobMessage::MSG_CANCELLED) << name;
    if (name == "big.bin") {
      EXPECT_TRUE(files.written.starts_with(header)) << name;
    }
    EXPECT_EQ(dir.Names(), (Names{"big.bin", "big.crypt"}));
  }
}

// Negative lengths and sizes in a header: a negative password length is a
// wrong password, a negative extension length an empty extension, and a
// negative plain size a damaged container; no output either way.
TEST(Limits, NegativeHeaderFields) {
  const test::TempDir dir;
  const std::string password = "abc";
  const std::string words = test::BuildHeader(password, "", 0).substr(4, 6);
  const struct {
    std::int64_t passwordLength, extensionLength, plainSize;
    JobMessage expected;
  } cases[] = {
      {-1, 0, 0, JobMessage::MSG_WRONG_PASSWORD},
      {INT32_MIN, 0, 0, JobMessage::MSG_WRONG_PASSWORD},
      {3, INT32_MIN, 1, JobMessage::MSG_DONE},
      {3, -1, 1, JobMessage::MSG_DONE},
      {3, 0, -1, JobMessage::MSG_DAMAGED_INPUT},
      {3, 0, INT32_MIN, JobMessage::MSG_DAMAGED_INPUT},
  };
  for (const auto& c : cases) {
    std::string container;
    test::AppendInt32(container, c.passwordLength);
    container += words;
    test::AppendInt32(container, c.extensionLength);
    test::AppendInt32(container, c.plainSize);
    container += test::Combine(password, "x");
    test::WriteFile(dir / "in.crypt", container);
    test::JobHarness job(dir / "in.crypt", dir / "back", password);
    EXPECT_EQ(job.Run(), c.expected)
        << c.passwordLength << " " << c.extensionLength << " " << c.plainSize;
    EXPECT_EQ(job.outputPath, dir / "back");
    if (c.expected == JobMessage::MSG_DONE) {
      EXPECT_EQ(test::ReadFile(dir / "back"), "x");
      fs::remove(dir / "back");
    }
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

// A stored extension of 259 bytes is read whole (no file system takes the
// name it gives, so the output cannot be created; where the path limit is
// 259, the name is not even tried); one of 260 is refused as damaged before
// a byte of it is stored.
TEST(Limits, StoredExtensionOf259And260Bytes) {
  const test::TempDir dir;
  const std::string grown = dir / ("b." + std::string(259, 'e'));
  const bool grows = grown.size() <= jobs::kMaxPathLength;
  for (const std::size_t length : {259U, 260U}) {
    test::WriteFile(dir / "in.crypt",
                    test::BuildContainer("abc", std::string(length, 'e'), "1"));
    test::JobHarness job(dir / "in.crypt", dir / "b", "abc");
    EXPECT_EQ(job.Run(), length == 259 ? JobMessage::MSG_WRITE_ERROR
                                       : JobMessage::MSG_DAMAGED_INPUT);
    EXPECT_EQ(job.outputPath, length == 259 && grows ? grown : dir / "b");
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

// A path of exactly `length` bytes: `folder`, then made folders of at most
// 200 bytes, then `name`.
std::string PathOfLength(const std::string& folder, std::size_t length,
                         const std::string& name) {
  std::string path = folder;
  fs::create_directories(path);
  for (;;) {
    const std::size_t rest = length - path.size() - 1 - name.size();
    if (rest == 0) {
      return path.append("/").append(name);
    }
    std::size_t component = std::min<std::size_t>(rest - 1, 200);
    if (rest - 1 - component == 1) {
      --component;  // no room for another "/" and a name of one byte
    }
    path += "/" + std::string(component, 'f');
    fs::create_directory(path);
  }
}

// Names exactly at the platform's limit work in both directions, whatever
// the length of the last name (the temporary file beside the output may
// have a longer one); one byte more is refused before any output.
TEST(Limits, NamesAtThePathLimit) {
  const test::TempDir dir;
  const std::size_t limit = jobs::kMaxPathLength;
  fs::create_directory(dir / "in");
  const std::string input = PathOfLength(dir / "in", limit, "p.txt");
  ASSERT_EQ(input.size(), limit);
  test::WriteFile(input, "plain");
  int folder = 0;
  for (const std::string& name : {std::string("n"), std::string(40, 'n')}) {
    const std::string encrypted =
        PathOfLength(dir / std::to_string(++folder), limit, name + ".crypt");
    const std::string decrypted =
        PathOfLength(dir / std::to_string(++folder), limit, name + ".txt");
    ASSERT_EQ(encrypted.size(), limit);
    ASSERT_EQ(decrypted.size(), limit);
    const std::string stem = encrypted.substr(0, limit - 6);
    const std::string back = decrypted.substr(0, limit - 4);
    for (const std::size_t over : {0U, 1U}) {
      test::JobHarness encrypt(input, stem + std::string(over, 'x'), "pw");
      EXPECT_EQ(encrypt.Run(),
                over ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_DONE)
          << name.size() << " " << over;
      test::JobHarness decrypt(encrypted, back + std::string(over, 'x'), "pw");
      EXPECT_EQ(decrypt.Run(),
                over ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_DONE)
          << name.size() << " " << over;
    }
    EXPECT_EQ(test::ReadFile(decrypted), "plain");
    EXPECT_EQ(NamesIn(fs::path(encrypted).parent_path()),
              Names{name + ".crypt"});
    EXPECT_EQ(NamesIn(fs::path(decrypted).parent_path()), Names{name + ".txt"});
  }
}

}  // namespace

// The body in blocks: containers and plain files of sizes around every
// block boundary, the progress positions of the byte-by-byte formula, and
// failures in the middle of a block.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cipher/key_loading.h"
#include "jobs/job.h"
#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

#ifndef PROGRAM_KEYSTREAM_TEST_BYTES
#define PROGRAM_KEYSTREAM_TEST_BYTES (1 << 20)
#endif

namespace {

using jobs::JobMessage;
using Positions = std::vector<int>;
constexpr std::size_t kBlock = jobs::kBodyBlockSize;

// The literal register's key bytes, the reference for every body.
std::string LiteralKey(const std::string& password, std::size_t count) {
  cipher::KeystreamRegister reg;
  reg.Reset();
  cipher::LoadKey(reg, password);
  std::string key;
  while (key.size() < count) {
    key += static_cast<char>(cipher::NextKeyByte(reg).value());
  }
  return key;
}

// The distinct positions of the byte-by-byte formula for indices from
// `begin` to `end`, in order, then the final 0.
Positions BytewisePositions(std::int64_t begin, std::int64_t end,
                            std::int64_t size) {
  Positions positions;
  for (std::int64_t i = begin; i < end; ++i) {
    const int position = static_cast<int>(100 * i / (size + 1));
    if (positions.empty() || positions.back() != position) {
      positions.push_back(position);
    }
  }
  positions.push_back(0);
  return positions;
}

class Body : public ::testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(Body, SizesAroundEveryBlockBoundaryRoundTrip) {
  // As typed (UTF-8) and as the cipher sees it (Windows-1251).
  const std::string typed = "блок-9";
  const std::string password = "\xE1\xEB\xEE\xEA-9";
  const std::vector<std::size_t> sizes = {0,
                                          1,
                                          15,
                                          16,
                                          4095,
                                          4096,
                                          4097,
                                          17,
                                          kBlock - 1,
                                          kBlock,
                                          kBlock + 1,
                                          2 * kBlock - 1,
                                          2 * kBlock,
                                          2 * kBlock + 1,
                                          3 * kBlock + 17};
  // Compared with the literal register up to this many bytes (all of them
  // outside the sanitizer builds).
  const std::size_t checked =
      std::min<std::size_t>(sizes.back(), PROGRAM_KEYSTREAM_TEST_BYTES);
  const std::string key = LiteralKey(password, checked);
  const std::string data = test::PatternBytes(sizes.back(), 4);
  for (const std::size_t size : sizes) {
    const std::string plain = data.substr(0, size);
    test::WriteFile(dir / "p.bin", plain);
    test::JobHarness encrypt(dir / "p.bin", dir / "c", typed);
    ASSERT_EQ(encrypt.Run(), JobMessage::MSG_DONE) << size;
    const std::string container = test::ReadFile(dir / "c.crypt");
    const std::string header =
        test::BuildHeader(password, "bin", static_cast<std::int64_t>(size));
    ASSERT_EQ(container.size(), header.size() + size);
    ASSERT_EQ(container.substr(0, header.size()), header);
    for (std::size_t i = 0; i < std::min(size, checked); ++i) {
      ASSERT_EQ(container[header.size() + i] ^ key[i], plain[i])
          << size << " " << i;
    }
    test::JobHarness decrypt(dir / "c.crypt", dir / "back", typed);
    ASSERT_EQ(decrypt.Run(), JobMessage::MSG_DONE) << size;
    ASSERT_EQ(test::ReadFile(dir / "back.bin"), plain) << size;
  }
}

TEST_F(Body, ProgressIsTheBytewiseFormulasPositionsInOrder) {
  for (const std::int64_t size :
       {0, 1, 2, 99, 100, 101, 3'000'017, 5 * 1024 * 1024}) {
    test::WriteFile(dir / "p",
                    test::PatternBytes(static_cast<std::size_t>(size)));
    test::JobHarness encrypt(dir / "p", dir / "c", "pw");
    ASSERT_EQ(encrypt.Run(), JobMessage::MSG_DONE);
    EXPECT_EQ(encrypt.window.positions, BytewisePositions(0, size, size))
        << size;
    // Decrypting counts container offsets: the header's 4+4+4+4 bytes first.
    test::JobHarness decrypt(dir / "c.crypt", dir / "b", "pw");
    ASSERT_EQ(decrypt.Run(), JobMessage::MSG_DONE);
    EXPECT_EQ(decrypt.window.positions,
              BytewisePositions(16, size + 16, size + 16))
        << size;
  }
}

// The real disk, with a read or a write that stops short at a given body
// byte, as a failing disk does in the middle of a block.
class ShortBlocks final : public jobs::JobFiles {
 public:
  std::int64_t readFailsAt = -1;
  std::int64_t writeFailsAt = -1;

  std::unique_ptr<jobs::InputFile> OpenInput(const std::string& path) override {
    auto file = jobs::DiskFiles().OpenInput(path);
    return file ? std::make_unique<Input>(std::move(file), readFailsAt)
                : nullptr;
  }
  std::unique_ptr<jobs::OutputFile> CreateOutput(
      const std::string& path) override {
    auto file = jobs::DiskFiles().CreateOutput(path);
    return file ? std::make_unique<Output>(std::move(file), writeFailsAt)
                : nullptr;
  }
  bool SameFile(const std::string& a, const std::string& b) override {
    return jobs::DiskFiles().SameFile(a, b);
  }

 private:
  // Bytes a block call may still pass before the failure.
  static std::size_t Allowed(std::int64_t& left, std::size_t size) {
    if (left < 0) {
      return size;
    }
    const auto allowed = static_cast<std::size_t>(
        std::min(left, static_cast<std::int64_t>(size)));
    left -= static_cast<std::int64_t>(allowed);
    return allowed;
  }
  struct Input final : jobs::InputFile {
    Input(std::unique_ptr<jobs::InputFile> f, std::int64_t failsAt)
        : file(std::move(f)), left(failsAt) {}
    [[nodiscard]] std::int64_t Size() const override { return file->Size(); }
    [[nodiscard]] std::int64_t Position() const override {
      return file->Position();
    }
    bool Seek(std::int64_t offset) override { return file->Seek(offset); }
    std::size_t ReadBlock(void* data, std::size_t size) override {
      const std::size_t allowed = Allowed(left, size);
      const std::size_t got = file->ReadBlock(data, allowed);
      return got;
    }
    std::unique_ptr<jobs::InputFile> file;
    std::int64_t left;
  };
  struct Output final : jobs::OutputFile {
    Output(std::unique_ptr<jobs::OutputFile> f, std::int64_t failsAt)
        : file(std::move(f)), left(failsAt) {}
    std::size_t WriteBlock(const void* data, std::size_t size) override {
      return file->WriteBlock(data, Allowed(left, size));
    }
    bool Commit() override { return file->Commit(); }
    void Discard() override { file->Discard(); }
    std::unique_ptr<jobs::OutputFile> file;
    std::int64_t left;
  };
};

TEST_F(Body, AShortReadOrWriteInABlockFailsAtThatByte) {
  const std::int64_t size = 3 * kBlock + 5;
  test::WriteFile(dir / "p",
                  test::PatternBytes(static_cast<std::size_t>(size)));
  for (const std::int64_t failsAt :
       {std::int64_t{0}, std::int64_t{1}, std::int64_t{kBlock - 1},
        std::int64_t{kBlock}, std::int64_t{2 * kBlock + 3}, size - 1}) {
    for (const bool reading : {true, false}) {
      ShortBlocks files;
      // Writing, the header's 16 bytes come first.
      (reading ? files.readFailsAt : files.writeFailsAt) =
          failsAt + (reading ? 0 : 16);
      test::JobHarness job(dir / "p", dir / "c", "pw");
      EXPECT_EQ(job.Run(files), reading ? JobMessage::MSG_READ_ERROR
                                        : JobMessage::MSG_WRITE_ERROR)
          << failsAt;
      // The bytes before the failing one showed their positions.
      EXPECT_EQ(job.window.positions, BytewisePositions(0, failsAt, size))
          << failsAt << " " << reading;
      EXPECT_EQ(dir.Names(), std::vector<std::string>{"p"});
    }
  }
}

}  // namespace

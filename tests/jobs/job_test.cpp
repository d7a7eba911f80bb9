// Whole jobs on real files: the request checks, the containers written and
// read, the progress, the names the job hands back, and cancellation.

#include "jobs/job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cipher/key_loading.h"
#include "jobs/path_names.h"
#include "jobs/run_job.h"
#include "tests/support/containers.h"
#include "tests/support/job_harness.h"
#include "tests/support/test_files.h"

#ifndef PROGRAM_KEYSTREAM_TEST_BYTES
#define PROGRAM_KEYSTREAM_TEST_BYTES (1 << 20)
#endif

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;
using Positions = std::vector<int>;
constexpr std::size_t kBlock = jobs::kBodyBlockSize;

class Job : public ::testing::Test {
 protected:
  test::TempDir dir;

  std::string File(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir / name, bytes);
    return dir / name;
  }
  // Decrypts `container` to "back" under the password "abc".
  std::unique_ptr<test::JobHarness> Decrypt(const std::string& container) {
    auto job = std::make_unique<test::JobHarness>(File("in.crypt", container),
                                                  dir / "back", "abc");
    job->Run();
    return job;
  }
};

TEST_F(Job, ChecksTheRequestInOrderBeforeTouchingAnything) {
  const std::string plain = File("p.txt", "x");
  const std::string container =
      File("in.crypt", test::BuildContainer("abc", "t", "x"));
  // Keyed with the password 0x01: refused once it matches, before its
  // extension is looked at.
  const std::string stops =
      File("s.crypt", test::BuildHeader("\x01", std::string(260, 'e'), 1));
  const std::string out = dir / "out";
  const std::string missing = dir / "missing";
  const struct {
    std::string input, output, password;
    JobMessage expected;
  } cases[] = {
      {"", "", "", JobMessage::MSG_NO_INPUT},
      {plain, "", "", JobMessage::MSG_NO_OUTPUT},
      {missing, out, "日", JobMessage::MSG_PASSWORD_CHARACTERS},
      {missing, out, "", JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, "абвгдежзийклмнопр", JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, "абвгдежзийклмноп", JobMessage::MSG_INPUT_MISSING},
      {dir.path().string(), out, "pw", JobMessage::MSG_INPUT_MISSING},
      {plain, out, "\x01", JobMessage::MSG_WRONG_PASSWORD},  // key stops
      {container, out, "ab", JobMessage::MSG_WRONG_PASSWORD},
      {container, out, "abC", JobMessage::MSG_WRONG_PASSWORD},
      {stops, out, "\x01", JobMessage::MSG_WRONG_PASSWORD},
  };
  for (const auto& c : cases) {
    test::JobHarness job(c.input, c.output, c.password);
    EXPECT_EQ(job.Run(), c.expected) << c.input << " / " << c.password;
    EXPECT_EQ(job.progress.positions, Positions{});
    EXPECT_EQ(job.result.outputText, c.output);
    EXPECT_EQ(job.result.outputPath, c.output);
    EXPECT_EQ(job.running.load(), 1);  // the caller's to clear
  }
  EXPECT_EQ(dir.Names(), (Names{"in.crypt", "p.txt", "s.crypt"}));
}

TEST_F(Job, TheInputNameAloneChoosesTheDirection) {
  const std::string container = test::BuildContainer("pw", "txt", "abc");
  fs::create_directory(dir / "d.crypt");
  for (const std::string name : {"a.CRYPT", "b.Crypt", "d.crypt/e"}) {
    test::JobHarness job(File(name, container), dir / "r.crypt", "pw");
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE) << name;
    EXPECT_EQ(test::ReadFile(job.result.outputPath),
              name == "d.crypt/e" ? test::BuildContainer("pw", "", container)
                                  : "abc");
    fs::remove(job.result.outputPath);
  }
}

// The frozen vectors hold the common names; these are the odd ones.
TEST_F(Job, NamesTheVectorsDoNotHold) {
  const struct {
    std::string name, stored, back;
  } cases[] = {
      {"dot.", "", "back"},                // no extension after the dot
      {"f.Рі", "\xD0\xB3", "back.Рі"},     // Windows-1251 bytes that are UTF-8
      {"p.crypt.bak", "bak", "back.bak"},  // encrypted, as its name says
  };
  for (const auto& c : cases) {
    test::JobHarness job(File(c.name, "plain"), dir / "out", "pw");
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE) << c.name;
    EXPECT_EQ(job.result.outputText, dir / "out.crypt");
    EXPECT_EQ(job.result.outputPath, dir / "out.crypt");
    EXPECT_EQ(test::ReadFile(dir / "out.crypt"),
              test::BuildContainer("pw", c.stored, "plain"));
    test::JobHarness back(dir / "out.crypt", dir / "back", "pw");
    ASSERT_EQ(back.Run(), JobMessage::MSG_DONE) << c.name;
    EXPECT_EQ(back.result.outputPath, dir / c.back);
    EXPECT_EQ(back.result.outputText, dir / "back");
    EXPECT_EQ(test::ReadFile(dir / c.back), "plain");
    fs::remove(test::PathOf(dir / c.back));
    fs::remove(test::PathOf(dir / c.name));
  }
}

// Names a job cannot use are refused before any output, and a file that
// had the output name stays as it was.
TEST_F(Job, RefusesNamesItCannotWrite) {
  fs::create_directory(dir / "sub");
  const std::string earlier = File("sub/.crypt", "earlier");
  File("sub/.txt", "earlier");
  const std::string container =
      File("c.crypt", test::BuildContainer("pw", "txt", "x"));
  const struct {
    std::string input, output;
    JobMessage expected;
  } cases[] = {
      {File("x.日本", "x"), dir / "out", JobMessage::MSG_EXTENSION_CHARACTERS},
#ifndef _WIN32  // no control characters in Windows names
      {File("x.\x07", "x"), dir / "out", JobMessage::MSG_EXTENSION_CHARACTERS},
#endif
      {File("plain", "x"), dir / "sub/", JobMessage::MSG_WRITE_ERROR},
      {File("plain", "x"), dir / "sub/..", JobMessage::MSG_WRITE_ERROR},
      {container, dir / "sub/", JobMessage::MSG_WRITE_ERROR},
  };
  for (const auto& c : cases) {
    test::JobHarness job(c.input, c.output, "pw");
    EXPECT_EQ(job.Run(), c.expected) << c.input << " > " << c.output;
    EXPECT_EQ(test::ReadFile(earlier), "earlier");
    EXPECT_EQ(test::ReadFile(dir / "sub/.txt"), "earlier");
  }
  EXPECT_FALSE(fs::exists(test::PathOf(dir / "out.crypt")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "sub"), {}), 2);
}

// Bodies around the block boundaries: every byte combined with its own key
// byte, and back.
TEST_F(Job, BodiesOfEverySizeAroundTheBlocks) {
  const std::string password = "\xE1\xEB\xEE\xEA-9";  // "блок-9"
  const std::size_t largest = 3 * kBlock + 17;
  const std::size_t sizes[] = {0,   1,          2,      16,         99,     100,
                               101, kBlock - 1, kBlock, kBlock + 1, largest};
  // The literal register's key bytes, the reference for every body, up to
  // this many bytes (all of them outside the sanitizer builds).
  const std::size_t checked =
      std::min<std::size_t>(largest, PROGRAM_KEYSTREAM_TEST_BYTES);
  cipher::KeystreamRegister reg;
  reg.Reset();
  cipher::LoadKey(reg, password);
  std::string key;
  while (key.size() < checked) {
    key += static_cast<char>(cipher::NextKeyByte(reg).value());
  }
  const std::string data = test::PatternBytes(largest, 4);
  for (const std::size_t size : sizes) {
    const std::string plain = data.substr(0, size);
    const auto n = static_cast<std::int64_t>(size);
    test::JobHarness encrypt(File("p.bin", plain), dir / "c", "блок-9");
    ASSERT_EQ(encrypt.Run(), JobMessage::MSG_DONE) << size;
    const std::string container = test::ReadFile(dir / "c.crypt");
    const std::string header = test::BuildHeader(password, "bin", n);
    ASSERT_EQ(container.size(), header.size() + size);
    ASSERT_EQ(container.substr(0, header.size()), header);
    for (std::size_t i = 0; i < std::min(size, checked); ++i) {
      ASSERT_EQ(container[header.size() + i] ^ key[i], plain[i])
          << size << " " << i;
    }
    test::JobHarness decrypt(dir / "c.crypt", dir / "back", "блок-9");
    ASSERT_EQ(decrypt.Run(), JobMessage::MSG_DONE) << size;
    ASSERT_EQ(test::ReadFile(dir / "back.bin"), plain) << size;
  }
}

// 3-character password, extension TXT, 5-byte body: the header is 21 bytes.
// The extension is restored, and the bar set to 0, before the length is
// known.
TEST_F(Job, ContainersCutShortOrGrownAtEveryOffset) {
  const std::string container = test::BuildContainer("abc", "TXT", "12345");
  for (std::size_t length = 0; length <= container.size() + 1; ++length) {
    if (length == container.size()) {
      continue;
    }
    std::string bytes = container.substr(0, length);
    bytes.resize(length, 'x');
    const auto job = Decrypt(bytes);
    EXPECT_EQ(job->result.message, length < 21 ? JobMessage::MSG_READ_ERROR
                                               : JobMessage::MSG_DAMAGED_INPUT)
        << length;
    EXPECT_EQ(job->result.outputPath,
              dir / (length < 17 ? "back" : "back.TXT"));
    EXPECT_EQ(job->progress.positions, length < 17 ? Positions{} : Positions{0})
        << length;
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

TEST_F(Job, StoredExtensions) {
  const bool nameFits = (dir / "back.").size() + 259 <= jobs::kMaxPathLength;
  const struct {
    std::string extension;
    JobMessage expected;
    std::string outputName;
    Positions positions;
  } cases[] = {
      // Read in full; no file system takes the name it gives (where the
      // path limit is 259, the name is not even tried).
      {std::string(259, 'e'), JobMessage::MSG_WRITE_ERROR,
       nameFits ? "back." + std::string(259, 'e') : "back",
       nameFits ? Positions{99, 0} : Positions{0}},
      {std::string(260, 'e'), JobMessage::MSG_DAMAGED_INPUT, "back", {}},
      {std::string("md\0z", 4), JobMessage::MSG_DONE, "back.md", {91, 0}},
      {"x/../../y", JobMessage::MSG_DAMAGED_INPUT, "back", {}},
      {"crypt", JobMessage::MSG_DONE, "back.cryp", {92, 0}},
  };
  for (const auto& c : cases) {
    const auto job = Decrypt(test::BuildContainer("abc", c.extension, "1"));
    EXPECT_EQ(job->result.message, c.expected) << c.outputName;
    EXPECT_EQ(job->result.outputPath, dir / c.outputName);
    EXPECT_EQ(job->progress.positions, c.positions) << c.outputName;
    if (c.expected == JobMessage::MSG_DONE) {
      EXPECT_EQ(test::ReadFile(dir / c.outputName), "1");
      fs::remove(dir / c.outputName);
    }
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

TEST_F(Job, CancelIsSeenAfterTheBlockInHandIsWritten) {
  // Four blocks; position 30 is first shown for a byte of the second, so
  // the third is still written, and its positions are not shown.
  const std::string plain = File("p.txt", test::PatternBytes(4 * kBlock));
  test::WriteFile(dir / "out.crypt", "precious");
  test::FaultyFiles faults;
  test::JobHarness job(plain, dir / "out", "pw");
  job.progress.onPosition = [&](int position) {
    if (position == 30) {
      job.running.store(0);
    }
  };
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_CANCELLED);
  EXPECT_EQ(faults.bytesWritten.size(), 19 + 3 * kBlock);  // header: 19 bytes
  Positions expected = test::PositionsOf(0, 2 * kBlock, 4 * kBlock);
  expected.push_back(0);
  EXPECT_EQ(job.progress.positions, expected);
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "precious");
  EXPECT_EQ(dir.Names(), (Names{"out.crypt", "p.txt"}));

  // A Cancel up to the rename (an empty body; during the final sync) is
  // seen there, and the earlier file stays.
  test::JobHarness empty(File("e", ""), dir / "out", "pw");
  EXPECT_EQ(empty.Run(jobs::DiskFiles(), false), JobMessage::MSG_CANCELLED);
  job.progress.onPosition = nullptr;
  faults.onCommit = [&] { job.running.store(0); };
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_CANCELLED);
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "precious");
  EXPECT_EQ(dir.Names(), (Names{"e", "out.crypt", "p.txt"}));
}

TEST_F(Job, LinksDevicesAndFolders) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and the devices of Linux";
#endif
  const std::string plain = File("p.txt", "abc");
  fs::create_directory(dir / "real");
  test::WriteFile(dir / "real/t.crypt", "old");
  fs::create_symlink(dir / "real/t.crypt", dir / "link.crypt");
  fs::create_symlink("/dev/null", dir / "null.crypt");
  fs::create_symlink("/dev/full", dir / "full.crypt");
  fs::create_directory(dir / "folder.crypt");
  const std::pair<std::string, JobMessage> cases[] = {
      {"link", JobMessage::MSG_DONE},
      {"null", JobMessage::MSG_DONE},
      {"full", JobMessage::MSG_WRITE_ERROR},
      {"folder", JobMessage::MSG_WRITE_ERROR},
  };
  for (const auto& [output, expected] : cases) {
    test::JobHarness job(plain, dir / output, "pw");
    EXPECT_EQ(job.Run(), expected) << output;
  }
  EXPECT_TRUE(fs::is_symlink(dir / "link.crypt"));
  EXPECT_EQ(test::ReadFile(dir / "real/t.crypt"),
            test::BuildContainer("pw", "txt", "abc"));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(test::ReadFile(plain), "abc");
  EXPECT_EQ(dir.Names(), (Names{"folder.crypt", "full.crypt", "link.crypt",
                                "null.crypt", "p.txt", "real"}));
}

}  // namespace

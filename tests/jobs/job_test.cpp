// Whole jobs on real files: the request checks, the containers written and
// read, and every way the two runs end.

#include "jobs/job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "jobs/path_names.h"
#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using jobs::JobMessage;
using Names = std::vector<std::string>;
using Positions = std::vector<int>;

std::vector<std::string> Ending(JobMessage message) {
  return {"message " + std::string(jobs::MessageText(message)), "enable 1"};
}

class Job : public ::testing::Test {
 protected:
  test::TempDir dir;

  std::string File(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir / name, bytes);
    return dir / name;
  }
};

TEST_F(Job, ChecksTheRequestInOrderBeforeTouchingAnything) {
  const std::string plain = File("p.txt", "x");
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
      {missing, out, std::string(17, 'x'), JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, "абвгдежзийклмнопр", JobMessage::MSG_PASSWORD_LENGTH},
      {missing, out, "абвгдежзийклмноп", JobMessage::MSG_INPUT_MISSING},
      {dir.path().string(), out, "pw", JobMessage::MSG_INPUT_MISSING},
      {plain, out, "\x01", JobMessage::MSG_WRONG_PASSWORD},  // key stops
  };
  for (const auto& c : cases) {
    test::JobHarness job(c.input, c.output, c.password);
    EXPECT_EQ(job.Run(), c.expected) << c.input << " / " << c.password;
    const std::vector<std::string> ending = Ending(c.expected);
    EXPECT_EQ(job.window.calls,
              (std::vector<std::string>{"range 0 100 1", "enable 0", ending[0],
                                        ending[1]}));
    EXPECT_EQ(job.window.positions, Positions{});
    EXPECT_EQ(job.running.load(), 0);
  }
  EXPECT_EQ(dir.Names(), Names{"p.txt"});
}

TEST_F(Job, TheInputNameAloneChoosesTheDirection) {
  const std::string container = test::BuildContainer("pw", "txt", "abc");
  fs::create_directory(dir / "d.crypt");
  for (const auto& [name, extension] :
       {std::pair<std::string, std::string>{"a.CRYPT", ""},
        {"b.Crypt", ""},
        {"c.crypt.bak", "bak"},
        {"d.crypt/e", "-"}}) {
    test::JobHarness job(File(name, container), dir / "r.crypt", "pw");
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE) << name;
    const bool decrypted = extension.empty();
    const std::string written = decrypted ? "r.crypt.txt" : "r.crypt";
    EXPECT_EQ(test::ReadFile(dir / written),
              decrypted
                  ? "abc"
                  : test::BuildContainer(
                        "pw", extension == "-" ? "" : extension, container));
    fs::remove(dir / written);
  }
}

// Containers built by hand from the layout: what encryption must write and
// decryption must read back.
TEST_F(Job, EncryptsIntoTheContainerLayoutAndBack) {
  const struct {
    std::string name, stored, password, password1251;
    std::size_t size;
  } cases[] = {
      {"report.TXT", "TXT", "abc", "abc", 5},
      {"noextension", "", "x", "x", 1000},
      {"dot.", "", "0123456789abcdef", "0123456789abcdef", 300},
      {"a.tar.gz", "gz", "парола", "\xEF\xE0\xF0\xEE\xEB\xE0", 2000},
      {"отчет.тхт", "\xF2\xF5\xF2", "Ёж€", "\xA8\xE6\x88", 77},
      {"x.日本", "日本", "ю", "\xFE", 3},
      {"empty.bin", "bin", "я", "\xFF", 0},
  };
  for (const auto& c : cases) {
    const std::string plain = test::PatternBytes(c.size, 9);
    test::JobHarness job(File(c.name, plain), dir / "out", c.password);
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE) << c.name;
    EXPECT_EQ(job.outputText, dir / "out.crypt");
    EXPECT_EQ(test::ReadFile(dir / "out.crypt"),
              test::BuildContainer(c.password1251, c.stored, plain));

    test::JobHarness back(dir / "out.crypt", dir / "back", c.password);
    ASSERT_EQ(back.Run(), JobMessage::MSG_DONE) << c.name;
    EXPECT_EQ(test::ReadFile(back.outputPath), plain);
    EXPECT_EQ(back.outputPath,
              dir / ("back" + std::string(c.stored.empty() ? "" : ".") +
                     std::string(jobs::PathExtension(c.name))));
    EXPECT_EQ(back.outputText, dir / "back");
    fs::remove(test::PathOf(back.outputPath));
    fs::remove(test::PathOf(dir / c.name));
  }
  // Encrypting again to the same output without a new pick: the text lost
  // the suffix, the path kept it, and the name does not grow.
  test::JobHarness job(File("p", "x"), dir / "out", "pw");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  job.outputText = dir / "out";
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(dir.Names(), (Names{"out.crypt", "p"}));
}

TEST_F(Job, ProgressShowsEachPositionOnceAndEndsAtZero) {
  for (const std::size_t size : {0U, 1U, 2U, 100U, 101U}) {
    test::JobHarness job(File("p", std::string(size, 'x')), dir / "o", "pw");
    ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
    Positions expected;
    for (std::size_t i = 0; i < size; ++i) {
      const int position = static_cast<int>(100 * i / (size + 1));
      if (expected.empty() || expected.back() != position) {
        expected.push_back(position);
      }
    }
    expected.push_back(0);
    EXPECT_EQ(job.window.positions, expected) << size;
    EXPECT_EQ(job.window.calls.size(), 4U);  // range, enable, message, enable
  }
  // Decrypting, the first position is the header's share: 21 of 26 bytes.
  test::JobHarness job(
      File("c.crypt", test::BuildContainer("abc", "t", "12345")), dir / "b",
      "abc");
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  EXPECT_EQ(job.window.positions, (Positions{76, 80, 84, 88, 92, 0}));
}

// Faults to try: each of `writes` writes and `reads` reads failed in turn,
// then the commit and the creation of the output.
std::vector<std::pair<test::FaultyFiles, JobMessage>> EveryFault(
    int writes, int reads, int firstBodyRead) {
  std::vector<std::pair<test::FaultyFiles, JobMessage>> faults(
      static_cast<std::size_t>(writes + reads + 2));
  for (int n = 0; n < writes + reads; ++n) {
    auto& [files, expected] = faults[static_cast<std::size_t>(n)];
    (n < writes ? files.failWrite : files.failRead) =
        n < writes ? n + 1 : n - writes + firstBodyRead;
    expected =
        n < writes ? JobMessage::MSG_WRITE_ERROR : JobMessage::MSG_READ_ERROR;
  }
  faults[faults.size() - 2].first.failCommit = true;
  faults.back().first.failCreate = true;
  faults[faults.size() - 2].second = faults.back().second =
      JobMessage::MSG_WRITE_ERROR;
  return faults;
}

// Every failed read, write and commit: the message of its row, the bar
// back to 0, and nothing left behind.
TEST_F(Job, EveryFailureWhileEncrypting) {
  const std::string plain = File("p.txt", test::PatternBytes(40));
  constexpr int kHeaderWrites = 1 + 2 + 1 + 3 + 1;
  for (auto& [faults, expected] : EveryFault(kHeaderWrites + 40, 40, 1)) {
    test::JobHarness job(plain, dir / "out", "pw");
    ASSERT_EQ(job.Run(faults), expected)
        << faults.failWrite << " " << faults.failRead;
    EXPECT_EQ(job.window.positions.back(), 0);
    EXPECT_EQ(dir.Names(), Names{"p.txt"});
  }
}

// The header's reads (password length, 3 words, extension length, plain
// size) fail before any output exists; only a failure from the plain size
// on moves the bar (back to 0).
TEST_F(Job, EveryFailureWhileDecrypting) {
  const std::string path =
      File("in.crypt", test::BuildContainer("abc", "", test::PatternBytes(30)));
  constexpr int kHeaderReads = 1 + 3 + 1 + 1;
  for (auto& [faults, expected] : EveryFault(30, kHeaderReads + 30, 1)) {
    test::JobHarness job(path, dir / "back", "abc");
    ASSERT_EQ(job.Run(faults), expected)
        << faults.failWrite << " " << faults.failRead;
    const bool inHeader = faults.failRead > 0 && faults.failRead < kHeaderReads;
    EXPECT_EQ(job.window.positions.empty(), inHeader) << faults.failRead;
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

TEST_F(Job, WrongPasswordsStopAtTheFirstDifferentWord) {
  const std::string path =
      File("in.crypt", test::BuildContainer("abc", "t", "x"));
  for (const auto& [password, reads] : {std::pair<std::string, int>{"ab", 1},
                                        {"abcd", 1},
                                        {"Abc", 2},
                                        {"abC", 4}}) {
    test::FaultyFiles faults;
    test::JobHarness job(path, dir / "back", password);
    EXPECT_EQ(job.Run(faults), JobMessage::MSG_WRONG_PASSWORD);
    EXPECT_EQ(faults.reads, reads) << password;
    EXPECT_EQ(job.outputPath, dir / "back");
  }
  // A container keyed with the password 0x01 is refused once it matches.
  test::JobHarness stops(
      File("s.crypt", test::BuildHeader("\x01", "", 1) + "x"), dir / "back",
      "\x01");
  EXPECT_EQ(stops.Run(), JobMessage::MSG_WRONG_PASSWORD);
  EXPECT_EQ(dir.Names(), (Names{"in.crypt", "s.crypt"}));
}

// 3-character password, extension TXT, 5-byte body: the header is 21 bytes.
TEST_F(Job, ContainersCutShortOrGrownAtEveryOffset) {
  const std::string container = test::BuildContainer("abc", "TXT", "12345");
  for (std::size_t length = 0; length <= container.size() + 1; ++length) {
    if (length == container.size()) {
      continue;
    }
    std::string bytes = container.substr(0, length);
    bytes.resize(length, 'x');
    test::JobHarness job(File("in.crypt", bytes), dir / "back", "abc");
    const JobMessage message = job.Run();
    EXPECT_EQ(message, length < 21 ? JobMessage::MSG_READ_ERROR
                                   : JobMessage::MSG_DAMAGED_INPUT)
        << length;
    // The extension is restored before the length is known.
    EXPECT_EQ(job.outputPath, dir / (length < 17 ? "back" : "back.TXT"));
    EXPECT_EQ(job.window.positions, length < 17 ? Positions{} : Positions{0});
    EXPECT_EQ(dir.Names(), Names{"in.crypt"});
  }
}

TEST_F(Job, StoredExtensions) {
  const auto decrypt = [&](const std::string& container) {
    auto job = std::make_unique<test::JobHarness>(File("in.crypt", container),
                                                  dir / "back", "abc");
    job->Run();
    return job;
  };
  // 259 bytes are read (this container then fails its length check, or the
  // name they give is too long; either moves the bar); 260 are refused
  // before any is stored.
  auto fits = decrypt(test::BuildHeader("abc", std::string(259, 'e'), 9));
  const bool nameFits = (dir / "back.").size() + 259 <= jobs::kMaxPathLength;
  EXPECT_EQ(fits->window.calls[2],
            Ending(nameFits ? JobMessage::MSG_DAMAGED_INPUT
                            : JobMessage::MSG_WRITE_ERROR)[0]);
  EXPECT_EQ(fits->window.positions, Positions{0});
  auto tooLong = decrypt(test::BuildHeader("abc", std::string(260, 'e'), 0));
  EXPECT_EQ(tooLong->window.calls[2], Ending(JobMessage::MSG_DAMAGED_INPUT)[0]);
  EXPECT_EQ(tooLong->window.positions, Positions{});

  // Zero or below: no extension and no bytes read.
  for (const int length : {0, -1, -100000}) {
    std::string container = test::BuildHeader("abc", "", 0).substr(0, 10);
    test::AppendInt32(container, length);
    test::AppendInt32(container, 2);
    auto job = decrypt(container + test::Combine("abc", "hi"));
    EXPECT_EQ(test::ReadFile(dir / "back"), "hi");
  }
  // The stored extension ends at its first zero byte; a separator in it
  // would point outside the chosen folder.
  auto zero =
      decrypt(test::BuildContainer("abc", std::string("md\0z", 4), "1"));
  EXPECT_EQ(zero->outputPath, dir / "back.md");
  for (const std::string extension : {"x/../../y", "x\\y"}) {
    auto job = decrypt(test::BuildContainer("abc", extension, "1"));
    EXPECT_EQ(job->window.calls[2], Ending(JobMessage::MSG_DAMAGED_INPUT)[0]);
    EXPECT_EQ(job->outputPath, dir / "back");
  }
  // A restored name ending in .crypt loses its last character.
  auto crypt = decrypt(test::BuildContainer("abc", "crypt", "1"));
  EXPECT_EQ(crypt->outputPath, dir / "back.cryp");
  EXPECT_EQ(test::ReadFile(dir / "back.cryp"), "1");
}

TEST_F(Job, SizesBeyondTheFormat) {
  // A negative plain size, and a container over 4 GiB whose plain size is 0
  // (compared in 64 bits, the extra 4 GiB cannot wrap around to a match).
  const std::string header = test::BuildHeader("abc", "", 0);
  const std::string big = File("big.crypt", header);
  fs::resize_file(big, header.size() + (std::uintmax_t{1} << 32));
  for (const std::string& input :
       {File("neg.crypt", test::BuildHeader("abc", "", -1)), big}) {
    test::FaultyFiles faults;
    faults.failRead = 7;  // the first body byte, should the check let it by
    test::JobHarness job(input, dir / "back", "abc");
    EXPECT_EQ(job.Run(faults), JobMessage::MSG_DAMAGED_INPUT);
  }
  // An input of 2 GiB cannot be described by plainSize.
  fs::resize_file(big, std::uintmax_t{1} << 31);
  fs::rename(big, dir / "big.bin");
  test::JobHarness job(dir / "big.bin", dir / "out", "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_INPUT_TOO_LARGE);
  EXPECT_EQ(job.window.positions, Positions{});
  EXPECT_EQ(dir.Names(), (Names{"big.bin", "neg.crypt"}));
}

TEST_F(Job, CancelIsSeenAfterTheBlockInHandIsWritten) {
  // Four blocks; position 30 is first shown for a byte of the second, so
  // the third is still written (byte by byte through FaultyFiles).
  constexpr std::size_t kBlock = jobs::kBodyBlockSize;
  const std::string plain = File("p.txt", test::PatternBytes(4 * kBlock));
  test::WriteFile(dir / "out.crypt", "precious");
  test::FaultyFiles faults;
  test::JobHarness job(plain, dir / "out", "pw");
  job.window.onPosition = [&](int position) {
    if (position == 30) {
      job.running.store(0);
    }
  };
  EXPECT_EQ(job.Run(faults), JobMessage::MSG_CANCELLED);
  EXPECT_EQ(faults.writes, static_cast<int>(8 + 3 * kBlock));  // header: 8
  EXPECT_EQ(job.window.positions.back(), 0);
  // The rest of the second block's positions, none of the third's.
  EXPECT_EQ(job.window.positions[job.window.positions.size() - 2], 49);
  EXPECT_EQ(job.window.calls.back(), "enable 1");
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "precious");
  EXPECT_EQ(dir.Names(), (Names{"out.crypt", "p.txt"}));

  // A cancel before an empty body is never seen.
  test::JobHarness empty(File("e", ""), dir / "e", "pw");
  EXPECT_EQ(empty.Run(jobs::DiskFiles(), false), JobMessage::MSG_DONE);
}

TEST_F(Job, CancelFromAnotherThread) {
  for (const std::string name : {"p.txt", "p.crypt"}) {
    const std::string data = test::PatternBytes(1 << 20);
    const std::string input = File(
        name,
        name == "p.txt" ? data : test::BuildHeader("abc", "", 1 << 20) + data);
    test::JobHarness job(input, dir / "out", "abc");
    std::atomic<bool> started{false};
    // Like the dialog's synchronous window calls: the job waits at its
    // first step of the bar until the other thread has cancelled.
    job.window.onPosition = [&](int) {
      started.store(true);
      while (job.running.load() != 0) {
        std::this_thread::yield();
      }
    };
    std::thread canceller([&] {
      while (!started.load()) {
        std::this_thread::yield();
      }
      job.running.store(0);
    });
    EXPECT_EQ(job.Run(), JobMessage::MSG_CANCELLED);
    canceller.join();
    EXPECT_EQ(dir.Names(), Names{name});
    fs::remove(input);
  }
}

TEST_F(Job, TheOutputAppearsOnlyOnSuccess) {
  const std::string plain = File("p.txt", test::PatternBytes(3000));
  test::WriteFile(dir / "out.crypt", "precious");
  fs::permissions(dir / "out.crypt",
                  fs::perms::owner_read | fs::perms::owner_write);
  const fs::perms kept = fs::status(dir / "out.crypt").permissions();
  test::JobHarness job(plain, dir / "out", "pw");
  Names during;
  job.window.onPosition = [&](int position) {
    if (position == 50) {
      during = dir.Names();
    }
  };
  ASSERT_EQ(job.Run(), JobMessage::MSG_DONE);
  ASSERT_EQ(during.size(), 3U);
  EXPECT_TRUE(during[0].starts_with(jobs::kTemporaryPrefix));
  EXPECT_TRUE(during[0].ends_with(jobs::kTemporarySuffix));
  EXPECT_NE(test::ReadFile(dir / "out.crypt"), "precious");
  EXPECT_EQ(fs::status(dir / "out.crypt").permissions(), kept);
}

TEST_F(Job, LinksDevicesFoldersAndTheInputItself) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and the devices of Linux";
#endif
  const std::string plain = File("p.txt", "abc");
  fs::create_directory(dir / "real");
  test::WriteFile(dir / "real/t.crypt", "old");
  fs::create_symlink(dir / "real/t.crypt", dir / "link.crypt");
  fs::create_symlink("/dev/null", dir / "null.crypt");
  fs::create_symlink("/dev/full", dir / "full.crypt");
  fs::create_symlink(plain, dir / "self.crypt");
  fs::create_directory(dir / "folder.crypt");
  const std::pair<std::string, JobMessage> cases[] = {
      {"link", JobMessage::MSG_DONE},
      {"null", JobMessage::MSG_DONE},
      {"full", JobMessage::MSG_WRITE_ERROR},
      {"self", JobMessage::MSG_WRITE_ERROR},
      {"folder", JobMessage::MSG_WRITE_ERROR},
      {"missing/o", JobMessage::MSG_WRITE_ERROR},
      {"p.txt/o", JobMessage::MSG_WRITE_ERROR}};
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
                                "null.crypt", "p.txt", "real", "self.crypt"}));
  // A name that the suffix would make too long for the platform.
  const std::string base = dir / "";
  const std::string tooLong =
      base + std::string(jobs::kMaxPathLength - 5 - base.size(), 'n');
  test::JobHarness job(plain, tooLong, "pw");
  EXPECT_EQ(job.Run(), JobMessage::MSG_WRITE_ERROR);
  EXPECT_EQ(job.outputPath, tooLong);
}

}  // namespace

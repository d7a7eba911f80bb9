// program-cli end to end: the real binary on real files, a user's interrupt
// and a terminal, for what the command line adds to the jobs.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/containers.h"
#include "tests/support/process.h"

namespace {

using Result = test::ProcessResult;

// program-cli with `input` on its standard input and no terminal.
test::Process Cli(std::vector<std::string> args, const std::string& input = "",
                  bool interruptible = false) {
  args.insert(args.begin(), PROGRAM_CLI_PATH);
  return {args, input, interruptible};
}

using Names = std::vector<std::string>;
constexpr auto kNone = std::string::npos;

const Result kDone{0, "готово\n", ""};
const std::string kPassword = "тайна";  // 5 letters, 10 bytes of UTF-8
const std::string kWriteError = "грешка при писането в изходния файл";
const std::string kLength =
    "дължината на паролата трябва да бъде поне един и най-много шестнадесет "
    "символа";

Result Failed(int code, const std::string& text) {
  return {code, "", text + "\n"};
}

Result Crypt(const std::string& password, const std::string& input,
             const std::string& output) {
  return Cli({"--password-fd=0", input, output}, password + "\n").Wait();
}

TEST(Cli, RoundTripFailuresAndRefusals) {
  const test::TempDir dir;
  const std::string plain = test::PatternBytes(1U << 20U, 3);
  test::WriteFile(dir / "a.txt", plain);
  // A password file with CRLF line ends encrypts, the descriptor decrypts.
  test::WriteFile(dir / "парола", kPassword + "\r\nnext line\n");
  const std::vector<std::string> encrypt = {"--password-file", dir / "парола",
                                            dir / "a.txt", dir / "box"};
  ASSERT_EQ(Cli(encrypt).Wait(), kDone);
  EXPECT_EQ(Crypt(kPassword, dir / "box.crypt", dir / "обратно"), kDone);
  EXPECT_TRUE(test::ReadFile(dir / "обратно.txt") == plain);
  // A frozen container with a Cyrillic name and password, byte for byte.
  const std::string frozen = PROGRAM_SOURCE_DIR "/tests/vectors/отчет.Тхт";
  test::WriteFile(dir / "отчет.Тхт", test::ReadFile(frozen));
  EXPECT_EQ(Crypt("парола", dir / "отчет.Тхт", dir / "отчет.Тхт"), kDone);
  EXPECT_TRUE(test::ReadFile(dir / "отчет.Тхт.crypt") ==
              test::ReadFile(frozen + ".crypt"));

  // Failures: status and message, and the folder as it was.
  const std::string box = test::ReadFile(dir / "box.crypt");
  test::WriteFile(dir / "cut.crypt", box.substr(0, box.size() - 1));
  test::WriteFile(dir / "stub.crypt", box.substr(0, 6));
  test::WriteFile(dir / "back.txt", "earlier plain file");
  test::WriteFile(dir / "out.crypt", "earlier container");
  test::WriteFile(dir / "x.日", "");
  test::WriteFile(dir / "huge.bin", "");
  std::filesystem::resize_file(dir / "huge.bin", 1ULL << 31U);  // sparse, 2 GiB
  const Names before = dir.Names();
  const struct {
    std::string input, output;
    std::optional<std::string> password;  // none: no option, no terminal
    Result expected;
  } cases[] = {
      {"", "out", {}, Failed(3, "трябва да избереш входен файл")},
      {"a.txt", "", {}, Failed(4, "трябва да избереш изходен файл")},
      {"a.txt", "out", "", Failed(5, kLength)},
      {"a.txt", "out", "абвгдежзийклмнопр", Failed(5, kLength)},
      {"no.txt", "out", kPassword, Failed(6, "входният файл не съществува")},
      {"stub.crypt", "back", kPassword,
       Failed(7, "грешка при четенето на входния файл")},
      {"box.crypt", "back", "тайнa", Failed(8, "грешна парола")},
      {"cut.crypt", "back", kPassword,
       Failed(9, "грешка - повреден входен файл")},
      {"a.txt", "no/out", kPassword, Failed(11, kWriteError)},
      {"huge.bin", "out", kPassword,
       Failed(12, "входният файл е твърде голям")},
      {"x.日", "out", kPassword,
       Failed(14,
              "разширението на входния файл съдържа знак, който не може да се "
              "запише в кодовата таблица Windows-1251")},
      {"a.txt", "out", "日",
       Failed(13,
              "паролата съдържа знак, който не може да се запише в кодовата "
              "таблица Windows-1251")},
  };
  for (const auto& c : cases) {
    const std::string in = c.input.empty() ? "" : dir / c.input;
    const std::string out = c.output.empty() ? "" : dir / c.output;
    EXPECT_EQ(c.password ? Crypt(*c.password, in, out) : Cli({in, out}).Wait(),
              c.expected)
        << c.input << " -> " << c.output;
    EXPECT_EQ(dir.Names(), before) << c.input << " -> " << c.output;
  }
  // Refused command lines: status 2, said why.
  const std::string in = dir / "a.txt";
  const std::vector<std::vector<std::string>> refused = {
      {"--password-file", dir / "none", in, dir / "c"},
      {in, dir / "c"},  // no password option and no terminal
      {"--bogus", "--password-fd=0", in, dir / "c"},
      {"--password-fd=0", in},
      {"--password-fd=0", "--password-file", in, in, dir / "c"},
  };
  for (const auto& args : refused) {
    const Result r = Cli(args, kPassword + "\n").Wait();
    EXPECT_TRUE(r.status == 2 && r.out.empty() && !r.err.empty())
        << testing::PrintToString(r);
    EXPECT_EQ(dir.Names(), before) << args.front();
  }
  EXPECT_EQ(test::ReadFile(dir / "back.txt"), "earlier plain file");
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "earlier container");
}

TEST(CliUsage, HelpAndVersion) {
  const Result help = Cli({"--help"}).Wait();
  for (int status = 2; status <= 15; ++status) {
    EXPECT_NE(help.out.find(" " + std::to_string(status) + "  "), kNone);
  }
  EXPECT_EQ(Cli({"-h"}).Wait(), (Result{0, help.out, ""}));
  EXPECT_EQ(Cli({"--version"}).Wait(),
            (Result{0, "program-cli 1.0.0.1\n", ""}));
}

// Pseudo-terminals are Linux's.
#ifndef _WIN32
TEST(CliTerminal, PasswordUnechoedProgressErasedEchoRestored) {
  const test::TempDir dir;
  const std::string plain = test::PatternBytes(1U << 20U, 2);
  test::WriteFile(dir / "a.txt", plain);
  const std::string done = "%\r\033[Kготово\r\n";  // the progress erased
  const struct {
    std::string input, output, repeat;  // no repeat: asked once
    int status;
    std::string shown;
    Names after;
  } cases[] = {
      {"a.txt", "c", "тайнб", 2, "паролите не съвпадат\r\n", {"a.txt"}},
      {"a.txt", "c", kPassword, 0, done, {"a.txt", "c.crypt"}},
      {"c.crypt", "back", "", 0, done, {"a.txt", "back.txt", "c.crypt"}},
  };
  for (const auto& c : cases) {
    test::Process job({PROGRAM_CLI_PATH, dir / c.input, dir / c.output});
    EXPECT_TRUE(job.Answer("парола: ", kPassword + "\n"));
    EXPECT_EQ(job.Answer("повтори паролата: ", c.repeat + "\n"),
              !c.repeat.empty());
    EXPECT_EQ(job.Wait().status, c.status) << job.Screen();
    EXPECT_NE(job.Screen().find(c.shown), kNone) << job.Screen();
    EXPECT_EQ(job.Screen().find(kPassword), kNone) << "echoed";
    EXPECT_EQ(dir.Names(), c.after);
  }
  EXPECT_TRUE(test::ReadFile(dir / "back.txt") == plain);
  // Ctrl-\\ at the prompt cancels with the terminal's echo back on.
  test::Process job({PROGRAM_CLI_PATH, dir / "a.txt", dir / "q"});
  EXPECT_TRUE(job.Answer("парола: ", "\x1C"));
  EXPECT_EQ(job.Wait().status, 10) << job.Screen();
  EXPECT_TRUE(job.Echoes());
}

std::string Shell(const std::string& command) {
  FILE* shell = popen(command.c_str(), "r");
  std::string out(2 << 20, '\0');
  out.resize(fread(out.data(), 1, out.size(), shell));
  pclose(shell);
  return out;
}

// Standard output as the output, through a pipe: the data alone, the message
// on standard error; a reader that stops early is a write error. Without a
// Windows-1251 converter no password can be taken: said as such. A first
// line with no end (/dev/zero, a huge file) is read only a few kilobytes far.
TEST(CliShell, StandardOutputNoCodePageAndEndlessPasswordLine) {
  const test::TempDir dir;
  const std::string plain = test::PatternBytes(1 << 20);
  test::WriteFile(dir / "c.crypt", test::BuildContainer("\xF2", "", plain));
  test::WriteFile(dir / "pw", "т\n");
  const std::string job = std::string(PROGRAM_CLI_PATH) + " --password-file " +
                          dir / "pw" + " " + dir / "c.crypt ";
  for (const std::string& reader :
       {std::string(), std::string(" | head -c9")}) {
    const std::string out = Shell("(" + job + "/dev/stdout 2>" + dir / "err" +
                                  "; echo $? >>" + dir / "err)" + reader);
    EXPECT_TRUE(out == plain.substr(0, reader.empty() ? plain.size() : 9));
    EXPECT_EQ(test::ReadFile(dir / "err"),
              reader.empty() ? "готово\n0\n" : kWriteError + "\n11\n");
  }
  EXPECT_EQ(Shell("LD_PRELOAD=" NO_CODE_PAGE_PATH
                  " ASAN_OPTIONS=verify_asan_link_order=0 " +
                  job + dir / "c 2>&1; echo $?"),
            "кодовата таблица Windows-1251 не е налична в системата\n15\n");
  test::WriteFile(dir / "long", std::string(1 << 20, 'x'));
  const std::string left =
      Shell("{ " + std::string(PROGRAM_CLI_PATH) + " --password-fd=0 " +
            dir / "c.crypt " + dir / "d; cat | wc -c; } 2>&1 <" + dir / "long");
  EXPECT_EQ(left.substr(0, left.find('\n')), kLength) << left;
  EXPECT_GE(std::stoi(left.substr(left.find('\n'))), (1 << 20) - 8192);
}

#endif

TEST(CliCancel, InterruptsRemoveTheTemporaryFile) {
  const test::TempDir dir;
  // A sparse gigabyte: seconds of work, so every signal finds it running.
  test::WriteFile(dir / "big.bin", "");
  std::filesystem::resize_file(dir / "big.bin", std::uintmax_t{1} << 30U);
  test::WriteFile(dir / "out.crypt", "earlier container");
#ifdef _WIN32
  const int signals[] = {SIGINT};  // Ctrl-C on the console
#else
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
#endif
  for (const int signal : signals) {
    auto job =
        Cli({"--password-fd=0", dir / "big.bin", dir / "out"}, "x\n", true);
    // The temporary file makes a third name.
    while (dir.Names().size() < 3 && !job.Ended()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_FALSE(job.Ended()) << "the job ended before the signal";
    if (!job.Signal(signal)) {
      GTEST_SKIP() << "no console; ctest runs this on a pseudo-terminal";
    }
    EXPECT_EQ(job.Wait(), Failed(10, "отказан процес")) << signal;
    EXPECT_EQ(dir.Names(), (Names{"big.bin", "out.crypt"}));
    EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "earlier container");
  }
}

}  // namespace

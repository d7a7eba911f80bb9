// program-cli end to end: the real binary on real files, signals and a
// terminal, for what the command line adds to the jobs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cli/password_input.h"
#include "tests/support/containers.h"
#include "tests/support/test_files.h"

namespace cli_test {
namespace {

// Exit status (128 + signal when killed) and what the program wrote.
struct Result {
  int status = -1;
  std::string out;
  std::string err;
  friend bool operator==(const Result&, const Result&) = default;
  friend void PrintTo(const Result& r, std::ostream* os) {
    *os << r.status << ", stdout \"" << r.out << "\", stderr \"" << r.err
        << '"';
  }
};

// program-cli in a session of its own without a terminal, or on a
// pseudo-terminal; `fd3` is readable on its descriptor 3 through a pipe.
class Cli {
 public:
  explicit Cli(std::vector<std::string> args,
               const std::optional<std::string>& fd3 = std::nullopt,
               bool onTerminal = false) {
    args.insert(args.begin(), PROGRAM_CLI_PATH);
    std::vector<char*> argv(args.size() + 1, nullptr);
    std::ranges::transform(args, argv.begin(),
                           [](std::string& arg) { return arg.data(); });
    const int out = open((streams_ / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    const int err = open((streams_ / "err").c_str(), O_WRONLY | O_CREAT, 0600);
    int ends[2] = {-1, -1};
    if (fd3 && (pipe(ends) != 0 || write(ends[1], fd3->data(), fd3->size()) !=
                                       static_cast<ssize_t>(fd3->size()))) {
      throw std::runtime_error("cannot fill the pipe for descriptor 3");
    }
    close(ends[1]);
    pid_ = onTerminal ? forkpty(&master_, nullptr, nullptr, nullptr) : fork();
    if (pid_ == 0) {
      if (!onTerminal) {
        setsid();  // no controlling terminal to ask a password on
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
      }
      if (fd3) {
        dup2(ends[0], 3);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (const int fd : {ends[0], out, err}) {
      close(fd);
    }
    if (pid_ < 0) {
      throw std::runtime_error("cannot start " + args[0]);
    }
  }
  Cli(const Cli&) = delete;
  Cli& operator=(const Cli&) = delete;
  ~Cli() {
    if (!Ended()) {
      kill(pid_, SIGKILL);
      Ended(0);
    }
    close(master_);
  }
  // Reaps the program if it has ended; `flags` 0 waits for that.
  bool Ended(int flags = WNOHANG) {
    int status = 0;
    if (!status_ && waitpid(pid_, &status, flags) == pid_) {
      status_ = status;
    }
    return status_.has_value();
  }
  [[nodiscard]] pid_t pid() const { return pid_; }
  // Waits for `prompt` on the terminal after the earlier ones; types `line`.
  bool Answer(const std::string& prompt, const std::string& line) {
    std::size_t at = 0;
    while ((at = screen_.find(prompt, found_)) == std::string::npos) {
      if (!ReadSome()) {
        return false;
      }
    }
    found_ = at + prompt.size();
    return write(master_, line.data(), line.size()) ==
           static_cast<ssize_t>(line.size());
  }
  [[nodiscard]] const std::string& Screen() const { return screen_; }
  [[nodiscard]] bool Echoes() const {
    termios mode{};
    return tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
  }
  Result Wait() {
    while (master_ >= 0 && ReadSome()) {
    }
    Ended(0);
    const int s = status_.value_or(-1);
    return {WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s),
            test::ReadFile(streams_ / "out"), test::ReadFile(streams_ / "err")};
  }

 private:
  bool ReadSome() {
    pollfd ready{master_, POLLIN, 0};
    // A minute of silence means the program is stuck: stop it.
    if (poll(&ready, 1, 60000) <= 0) {
      kill(pid_, SIGKILL);
      return false;
    }
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    screen_.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return n > 0;
  }

  test::TempDir streams_;
  pid_t pid_ = -1;
  int master_ = -1;
  std::optional<int> status_;
  std::string screen_;
  std::size_t found_ = 0;
};

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
constexpr auto kNone = std::string::npos;

const Result kDone{0, "готово\n", ""};
const std::string kPassword = "тайна";  // 5 letters, 10 bytes of UTF-8
const std::string kWriteError = "грешка при писането в изходния файл";

Result Failed(int code, const std::string& text) {
  return {code, "", text + "\n"};
}

// Runs a job with `password` on descriptor 3.
Result Crypt(const std::string& password, const std::string& input,
             const std::string& output) {
  return Cli({"--password-fd=3", input, output}, password + "\n").Wait();
}

TEST(CliRoundTrip, CrlfPasswordFileThenDescriptor) {
  const test::TempDir dir;
  test::WriteFile(dir / "password", kPassword + "\r\nnext line\n");
  const std::vector<std::string> encrypt = {"--password-file", dir / "password",
                                            dir / "a.txt", dir / "c"};
  for (const std::size_t size : {0U, 1U, 1U << 20U}) {
    const std::string plain = test::PatternBytes(size, size);
    test::WriteFile(dir / "a.txt", plain);
    EXPECT_EQ(Cli(encrypt).Wait(), kDone);
    // The header starts with the password's length in letters.
    EXPECT_EQ(test::ReadFile(dir / "c.crypt").substr(0, 4),
              std::string("\x05\0\0\0", 4));
    EXPECT_EQ(Crypt(kPassword, dir / "c.crypt", dir / "back"), kDone);
    EXPECT_TRUE(test::ReadFile(dir / "back.txt") == plain) << size;
  }
}

TEST(CliFailures, MessageStatusAndUnchangedFolder) {
  const test::TempDir dir;
  test::WriteFile(dir / "a.txt", test::PatternBytes(1000, 7));
  ASSERT_EQ(Crypt(kPassword, dir / "a.txt", dir / "box"), kDone);
  const std::string box = test::ReadFile(dir / "box.crypt");
  test::WriteFile(dir / "cut.crypt", box.substr(0, box.size() - 1));
  test::WriteFile(dir / "stub.crypt", box.substr(0, 6));
  test::WriteFile(dir / "back.txt", "earlier plain file");
  test::WriteFile(dir / "out.crypt", "earlier container");
  fs::create_symlink("/dev/full", dir / "full.crypt");  // written in place
  test::WriteFile(dir / "x.日", "");
  test::WriteFile(dir / "huge.bin", "");
  fs::resize_file(dir / "huge.bin", 1ULL << 31U);  // sparse, 2 GiB
  const Names before = dir.Names();
  const std::string length =
      "дължината на паролата трябва да бъде поне един и най-много "
      "шестнадесет символа";
  const struct {
    std::string input, output;
    std::optional<std::string> password;  // none: no option, no terminal
    Result expected;
  } cases[] = {
      {"", "out", {}, Failed(3, "трябва да избереш входен файл")},
      {"a.txt", "", {}, Failed(4, "трябва да избереш изходен файл")},
      {"a.txt", "out", "", Failed(5, length)},
      {"a.txt", "out", "абвгдежзийклмнопр", Failed(5, length)},
      {"no.txt", "out", kPassword, Failed(6, "входният файл не съществува")},
      {"stub.crypt", "back", kPassword,
       Failed(7, "грешка при четенето на входния файл")},
      {"box.crypt", "back", "тайнa", Failed(8, "грешна парола")},
      {"cut.crypt", "back", kPassword,
       Failed(9, "грешка - повреден входен файл")},
      {"a.txt", "no/out", kPassword, Failed(11, kWriteError)},
      {"a.txt", "/proc/out", kPassword, Failed(11, kWriteError)},  // even root
      {"a.txt", "full", kPassword, Failed(11, kWriteError)},
      {"huge.bin", "out", kPassword,
       Failed(12, "входният файл е твърде голям")},
      {"a.txt", "out", "日",
       Failed(13,
              "паролата съдържа знак, който не може да се запише в кодовата "
              "таблица Windows-1251")},
      {"x.日", "out", kPassword,
       Failed(14,
              "разширението на входния файл съдържа знак, който не може да се "
              "запише в кодовата таблица Windows-1251")},
  };
  for (const auto& c : cases) {
    const std::string in = c.input.empty() ? "" : dir / c.input;
    const std::string out = c.output.empty() ? "" : dir / c.output;
    EXPECT_EQ(c.password ? Crypt(*c.password, in, out) : Cli({in, out}).Wait(),
              c.expected)
        << c.input << " -> " << c.output;
    EXPECT_EQ(dir.Names(), before) << c.input << " -> " << c.output;
  }
  EXPECT_EQ(test::ReadFile(dir / "back.txt"), "earlier plain file");
  EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "earlier container");
  EXPECT_TRUE(fs::is_symlink(dir / "full.crypt"));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(CliUsage, RefusalsCreateNothingHelpAndVersion) {
  const test::TempDir dir;
  test::WriteFile(dir / "a.txt", "plain");
  const std::string in = dir / "a.txt";
  const std::vector<std::vector<std::string>> cases = {
      {"--password-file", dir / "none", in, dir / "c"},
      {in, dir / "c"},  // no password option and no terminal
      {"--bogus", "--password-fd=3", in, dir / "c"},
      {"--password-fd=3", in},
      {"--password-fd=3", "--password-file", in, in, dir / "c"},
  };
  for (const auto& args : cases) {
    const Result r = Cli(args, kPassword + "\n").Wait();
    EXPECT_TRUE(r.status == 2 && r.out.empty() && !r.err.empty())
        << testing::PrintToString(r);
    EXPECT_EQ(dir.Names(), Names{"a.txt"}) << args.front();
  }
  const Result help = Cli({"--help"}).Wait();
  for (int status = 2; status <= 15; ++status) {
    EXPECT_NE(help.out.find(" " + std::to_string(status) + "  "), kNone);
  }
  EXPECT_EQ(Cli({"-h"}).Wait(), (Result{0, help.out, ""}));
  EXPECT_EQ(Cli({"--version"}).Wait(),
            (Result{0, "program-cli 1.0.0.1\n", ""}));
}

TEST(CliTerminal, PasswordUnechoedAndProgressErased) {
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
    Cli job({dir / c.input, dir / c.output}, {}, true);
    EXPECT_TRUE(job.Answer("парола: ", kPassword + "\n"));
    EXPECT_EQ(job.Answer("повтори паролата: ", c.repeat + "\n"),
              !c.repeat.empty());
    EXPECT_EQ(job.Wait().status, c.status) << job.Screen();
    EXPECT_NE(job.Screen().find(c.shown), kNone) << job.Screen();
    EXPECT_EQ(job.Screen().find(kPassword), kNone) << "echoed";
    EXPECT_EQ(dir.Names(), c.after);
  }
  EXPECT_TRUE(test::ReadFile(dir / "back.txt") == plain);
}

TEST(CliCancel, SignalsRemoveTheTemporaryFile) {
  const test::TempDir dir;
  // A sparse gigabyte: seconds of work, so every signal finds it running.
  test::WriteFile(dir / "big.bin", "");
  std::filesystem::resize_file(dir / "big.bin", std::uintmax_t{1} << 30U);
  test::WriteFile(dir / "out.crypt", "earlier container");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Cli job({"--password-fd=3", dir / "big.bin", dir / "out"}, "x\n");
    // The temporary file makes a third name.
    while (dir.Names().size() < 3 && !job.Ended()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_FALSE(job.Ended()) << "the job ended before the signal";
    kill(job.pid(), signal);
    EXPECT_EQ(job.Wait(), Failed(10, "отказан процес")) << signal;
    EXPECT_EQ(dir.Names(), (Names{"big.bin", "out.crypt"}));
    EXPECT_EQ(test::ReadFile(dir / "out.crypt"), "earlier container");
  }
}

// Standard output as the output, through a pipe: the data alone, the message
// on standard error; a reader that stops early is a write error.
TEST(CliPipes, StandardOutputAsTheOutput) {
  const test::TempDir dir;
  const std::string plain = test::PatternBytes(1 << 20);
  test::WriteFile(dir / "c.crypt", test::BuildContainer("\xF2", "", plain));
  test::WriteFile(dir / "pw", "т\n");
  const std::string job = std::string(PROGRAM_CLI_PATH) + " --password-file " +
                          dir / "pw" + " " + dir / "c.crypt /dev/stdout 2>" +
                          dir / "err";
  for (const std::string& reader :
       {std::string(), std::string(" | head -c9")}) {
    FILE* shell = popen(
        ("(" + job + "; echo $? >" + dir / "status)" + reader).c_str(), "r");
    std::string out(2 << 20, '\0');
    out.resize(fread(out.data(), 1, out.size(), shell));
    pclose(shell);
    EXPECT_TRUE(out == plain.substr(0, reader.empty() ? plain.size() : 9));
    EXPECT_EQ(test::ReadFile(dir / "err"),
              reader.empty() ? "готово\n" : kWriteError + "\n");
    EXPECT_EQ(test::ReadFile(dir / "status"), reader.empty() ? "0\n" : "11\n");
  }
}

// Without a Windows-1251 converter no password can be taken: said as such.
TEST(CliFailures, NoCodePageConverter) {
  const test::TempDir dir;
  test::WriteFile(dir / "a.txt", "x");
  test::WriteFile(dir / "pw", "x\n");
  const std::string command = "LD_PRELOAD=" NO_CODE_PAGE_PATH
                              " ASAN_OPTIONS=verify_asan_link_order=0 " +
                              std::string(PROGRAM_CLI_PATH) +
                              " --password-file " + dir / "pw" + " " +
                              dir / "a.txt " + dir / "c 2>&1; echo $?";
  FILE* shell = popen(command.c_str(), "r");
  std::string out(4096, '\0');
  out.resize(fread(out.data(), 1, out.size(), shell));
  pclose(shell);
  EXPECT_EQ(out,
            "кодовата таблица Windows-1251 не е налична в системата\n15\n");
}

// A first line with no end (/dev/zero, a huge file) is read only so far.
TEST(CliPasswordLine, ReadsAFewKilobytesAtMost) {
  const test::TempDir dir;
  test::WriteFile(dir / "long", std::string(1 << 20, 'x'));
  const int fd = open((dir / "long").c_str(), O_RDONLY);
  const auto line = cli::ReadPasswordLine(fd);
  EXPECT_TRUE(line && line->tooLong);
  EXPECT_LE(lseek(fd, 0, SEEK_CUR), 8192);
  close(fd);
}

// Ctrl-\\ at the prompt cancels with the terminal's echo back on.
TEST(CliTerminal, QuitAtThePromptRestoresEcho) {
  const test::TempDir dir;
  test::WriteFile(dir / "a.txt", "x");
  Cli job({dir / "a.txt", dir / "c"}, {}, true);
  EXPECT_TRUE(job.Answer("парола: ", "\x1C"));
  EXPECT_EQ(job.Wait().status, 10) << job.Screen();
  EXPECT_TRUE(job.Echoes());
}

}  // namespace
}  // namespace cli_test

// program-cli killed outright (SIGKILL, TerminateProcess) at random
// moments of its jobs: the output name holds the earlier file, or nothing,
// or the finished output, never a part of one; whatever else is left is a
// temporary file named as one. A few kills here; tools/long-checks.sh sets
// PROGRAM_KILL_ROUNDS for many.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "jobs/job_files.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// program-cli with the password on standard input and no terminal.
test::Process Start(const std::string& input, const std::string& output) {
  return {{PROGRAM_CLI_PATH, "--password-fd=0", input, output}, "тайна\n"};
}

TEST(CrashSafety, KilledJobsNeverLeaveAPartialOutput) {
  const test::TempDir dir;
  const std::string plain = test::PatternBytes(256U << 10U, 11);
  test::WriteFile(dir / "p.bin", plain);

  // A clean run gives the finished container and the time a job takes
  // (either way: the same work), over which the kills are spread.
  const auto started = Clock::now();
  ASSERT_EQ(Start(dir / "p.bin", dir / "c").Wait().status, 0);
  const auto span = (Clock::now() - started) * 11 / 10;
  const std::string container = test::ReadFile(dir / "c.crypt");

  std::mt19937 random(std::random_device{}());
  int killed = 0;
  int finished = 0;
  int leftovers = 0;
  const char* rounds = std::getenv("PROGRAM_KILL_ROUNDS");
  for (int round = 0; round < (rounds != nullptr ? std::atoi(rounds) : 4);
       ++round) {
    const bool encrypt = round % 2 == 0;
    const bool earlier = round % 4 < 2;  // an earlier file under the name
    const std::string output = encrypt ? "o.crypt" : "back.bin";
    const std::string& complete = encrypt ? container : plain;
    if (earlier) {
      test::WriteFile(dir / output, "earlier");
    }
    test::Process job = Start(dir / (encrypt ? "p.bin" : "c.crypt"),
                              dir / (encrypt ? "o" : "back"));
    std::this_thread::sleep_for(
        std::uniform_int_distribution<Clock::rep>(0, span.count())(random) *
        Clock::duration(1));
    job.Kill();
    (job.Wait().status == test::Process::kKilled ? killed : finished) += 1;

    // An earlier file is replaced only by the finished output.
    EXPECT_TRUE(!earlier || fs::exists(dir / output))
        << "round " << round << ": the earlier file is gone";
    for (const std::string& name : dir.Names()) {
      if (name == output) {
        const std::string now = test::ReadFile(dir / name);
        EXPECT_TRUE(now == complete || (earlier && now == "earlier"))
            << "round " << round << ": " << output << " holds " << now.size()
            << " bytes";
        fs::remove(dir / name);
      } else if (name != "p.bin" && name != "c.crypt") {
        EXPECT_TRUE(name.starts_with(jobs::kTemporaryPrefix) &&
                    name.ends_with(jobs::kTemporarySuffix))
            << "round " << round << ": " << name;
        ++leftovers;
        fs::remove(dir / name);
      }
    }
  }
  std::printf("%d kills during a job, %d jobs done first, %d temporary left\n",
              killed, finished, leftovers);
}

}  // namespace

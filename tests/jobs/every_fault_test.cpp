// A fault at every position of small jobs: the n-th read, the n-th write,
// and the commit, failed in turn for n = 1, 2, ... until a job makes fewer
// than n such calls. Whatever the file layer's block sizes, each fault must
// end the job with its own message, the bar back at 0, the earlier file at
// the output name untouched and nothing else left behind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/jobs/job_doubles.h"
#include "tests/support/test_files.h"

namespace {

using jobs::JobMessage;
using Names = std::vector<std::string>;

enum class Fault { kRead, kWrite };

// One job with a fault; false once the fault was beyond the job's calls.
struct Outcome {
  bool faultHit;
  JobMessage message;
};

class EveryFault : public ::testing::Test {
 protected:
  test::TempDir dir;

  // Runs jobs with the n-th call of `fault` failing for every n, then one
  // with the commit failing; checks each ending. Returns the faults made.
  int FailEachInTurn(const std::string& input, const std::string& output,
                     const std::string& savedName, const std::string& password,
                     Fault fault, JobMessage expected) {
    const Names before = dir.Names();
    int injected = 0;
    for (int n = 1;; ++n) {
      test::FaultyFiles faults;
      (fault == Fault::kRead ? faults.failRead : faults.failWrite) = n;
      test::JobHarness job(input, output, password);
      const JobMessage message = job.Run(faults);
      const int calls = fault == Fault::kRead ? faults.reads : faults.writes;
      if (calls < n) {
        EXPECT_EQ(message, JobMessage::MSG_DONE) << "no fault hit";
        EXPECT_EQ(job.outputPath, dir / savedName);
        test::WriteFile(dir / savedName, "earlier file");
        break;
      }
      ++injected;
      ExpectCleanEnding(job, message, expected, before, savedName, n);
    }
    test::FaultyFiles faults;
    faults.failCommit = true;
    test::JobHarness job(input, output, password);
    ExpectCleanEnding(job, job.Run(faults), JobMessage::MSG_WRITE_ERROR, before,
                      savedName, 0);
    return injected + 1;
  }

  void ExpectCleanEnding(const test::JobHarness& job, JobMessage message,
                         JobMessage expected, const Names& before,
                         const std::string& savedName, int n) {
    EXPECT_EQ(message, expected) << "fault " << n;
    const std::vector<std::string>& calls = job.window.calls;
    ASSERT_GE(calls.size(), 2U);
    EXPECT_EQ(calls[calls.size() - 2],
              "message " + std::string(jobs::MessageText(expected)))
        << "fault " << n;
    EXPECT_EQ(calls.back(), "enable 1");
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) {
                              return call.starts_with("message ");
                            }),
              1);
    EXPECT_EQ(job.running.load(), 0);
    EXPECT_TRUE(job.window.positions.empty() ||
                job.window.positions.back() == 0)
        << "fault " << n;
    EXPECT_EQ(dir.Names(), before) << "fault " << n;
    EXPECT_EQ(test::ReadFile(dir / savedName), "earlier file") << "fault " << n;
  }
};

TEST_F(EveryFault, WhileEncrypting) {
  const std::string plain = dir / "p.txt";
  test::WriteFile(plain, test::PatternBytes(300, 5));
  test::WriteFile(dir / "out.crypt", "earlier file");
  int injected = 0;
  injected += FailEachInTurn(plain, dir / "out", "out.crypt", "pw",
                             Fault::kRead, JobMessage::MSG_READ_ERROR);
  injected += FailEachInTurn(plain, dir / "out", "out.crypt", "pw",
                             Fault::kWrite, JobMessage::MSG_WRITE_ERROR);
  RecordProperty("faults", injected);
}

TEST_F(EveryFault, WhileDecrypting) {
  const std::string container = dir / "in.crypt";
  test::WriteFile(container,
                  test::BuildContainer("abc", "txt", test::PatternBytes(300)));
  test::WriteFile(dir / "back.txt", "earlier file");
  int injected = 0;
  injected += FailEachInTurn(container, dir / "back", "back.txt", "abc",
                             Fault::kRead, JobMessage::MSG_READ_ERROR);
  injected += FailEachInTurn(container, dir / "back", "back.txt", "abc",
                             Fault::kWrite, JobMessage::MSG_WRITE_ERROR);
  RecordProperty("faults", injected);
}

}  // namespace

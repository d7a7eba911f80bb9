#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "jobs/messages.h"

namespace jobs {

// The running flag: 1 while a job runs, cleared by a cancel request or by
// the job's end. A job loads it afresh at every poll.
using RunningFlag = std::atomic<std::uint8_t>;

// What a job asks of the window that started it. A dialog carries these out
// on its own thread and returns only when they are done; the command line
// draws on the terminal.
class JobWindow {
 public:
  JobWindow() = default;
  JobWindow(const JobWindow&) = delete;
  JobWindow& operator=(const JobWindow&) = delete;
  virtual ~JobWindow() = default;

  // The progress bar's range and step (the job asks for 0..100, step 1).
  virtual void SetProgressRange(int low, int high, int step) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void EnableStartButton(bool enable) = 0;
  // Shows the job's final message and returns once the user has seen it.
  virtual void ShowMessage(JobMessage message) = 0;
};

// Everything a job reads from, and writes back to, the window that started
// it. The texts are what the window shows; the paths are the names the job
// opens and creates (a picker sets a text and its path to the same string).
// All strings are UTF-8, except that the paths are the platform's own names.
struct JobContext {
  std::string* inputText = nullptr;
  std::string* outputText = nullptr;
  std::string* passwordText = nullptr;
  std::string* inputPath = nullptr;
  // An encryption appends ".crypt" here and to outputText; a decryption
  // appends the restored extension here only.
  std::string* outputPath = nullptr;
  JobWindow* window = nullptr;
};

}  // namespace jobs

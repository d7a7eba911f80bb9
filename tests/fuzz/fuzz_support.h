#pragma once

// What the fuzz targets and their corpus generator share: the passwords and
// output names a container input chooses between, and a window that keeps
// what a job asked of it.

#include <array>
#include <string>
#include <vector>

#include "jobs/job_context.h"
#include "jobs/messages.h"
#include "jobs/run_job.h"

namespace fuzz {

// The first byte of a container input chooses the password (bits 0-1) and
// the output name (bits 2-3); the container follows it.
inline const std::array<std::string, 4> kPasswords = {
    "fuzz", "a", "0123456789abcdef", "парола"};
inline const std::array<std::string, 4> kOutputNames = {
    "out", "out.txt", "OUT.CRYPT", "in.crypt"};
inline constexpr const char* kInputName = "in.crypt";

inline unsigned char Selector(std::size_t password, std::size_t output) {
  return static_cast<unsigned char>(password | (output << 2U));
}

class KeepingWindow final : public jobs::JobWindow {
 public:
  void SetProgressRange(int low, int high, int step) override {
    rangeSet = low == 0 && high == 100 && step == 1 && calls == 0;
    ++calls;
  }
  void SetProgressPosition(int position) override {
    positions.push_back(position);
  }
  void EnableStartButton(bool enable) override {
    enables.push_back(enable);
    ++calls;
  }
  void ShowMessage(jobs::JobMessage message) override {
    messages.push_back(message);
    enablesBeforeMessage = enables.size();
    ++calls;
  }

  bool rangeSet = false;
  int calls = 0;
  std::vector<int> positions;
  std::vector<bool> enables;
  std::vector<jobs::JobMessage> messages;
  std::size_t enablesBeforeMessage = 0;
};

// One job on real files, with the texts and paths a dialog would hold.
struct FileJob {
  FileJob(const std::string& input, const std::string& output,
          const std::string& password)
      : inputText(input),
        inputPath(input),
        outputText(output),
        outputPath(output),
        passwordText(password) {}

  jobs::JobMessage Run() {
    jobs::JobContext context{&inputText, &outputText, &passwordText,
                             &inputPath, &outputPath, &window};
    return jobs::RunJob(context, running);
  }

  std::string inputText, inputPath, outputText, outputPath, passwordText;
  KeepingWindow window;
  jobs::RunningFlag running{1};
};

}  // namespace fuzz

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "jobs/job_context.h"

namespace test {

// Keeps every window operation of a job, in order, as text:
// "range 0 100 1", "position 42", "enable 0", "message готово".
class RecordingWindow final : public jobs::JobWindow {
 public:
  void SetProgressRange(int low, int high, int step) override {
    calls.push_back("range " + std::to_string(low) + " " +
                    std::to_string(high) + " " + std::to_string(step));
  }
  void SetProgressPosition(int position) override {
    calls.push_back("position " + std::to_string(position));
    positions.push_back(position);
    if (onPosition) {
      onPosition(position);
    }
  }
  void EnableStartButton(bool enable) override {
    calls.push_back(std::string("enable ") + (enable ? "1" : "0"));
  }
  void ShowMessage(jobs::JobMessage message) override {
    calls.push_back("message " + std::string(jobs::MessageText(message)));
    ++messages;
  }

  std::vector<std::string> calls;
  std::vector<int> positions;
  int messages = 0;
  // Runs on the job's thread after each position, for cancelling mid-job.
  std::function<void(int)> onPosition;
};

}  // namespace test

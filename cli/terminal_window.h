#pragma once

#include <chrono>
#include <cstdio>

#include "jobs/job_context.h"

namespace cli {

// The job's window on a terminal: a progress line on standard error while
// that is a terminal, and the final message, "готово" on standard output,
// every other message on standard error.
class TerminalWindow final : public jobs::JobWindow {
 public:
  TerminalWindow(std::FILE* out, std::FILE* err, bool showProgress);

  void SetProgressRange(int low, int high, int step) override;
  void SetProgressPosition(int position) override;
  void EnableStartButton(bool /*enable*/) override {}
  void ShowMessage(jobs::JobMessage message) override;

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

  void Draw(int position);
  void EraseProgressLine();

  std::FILE* out_;
  std::FILE* err_;
  bool showProgress_;
  int low_ = 0;
  int high_ = 100;
  bool lineDrawn_ = false;
  Clock::time_point lastDraw_{};
};

}  // namespace cli

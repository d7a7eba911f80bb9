#pragma once

#include <chrono>
#include <cstdio>

#include "jobs/messages.h"
#include "jobs/run_job.h"

namespace cli {

// A job's progress and message on a terminal: a progress line on standard
// error while that is a terminal, and the final message, "готово" on
// standard output, every other message on standard error.
class TerminalProgress final : public jobs::ProgressSink {
 public:
  TerminalProgress(std::FILE* out, std::FILE* err, bool showProgress);

  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  // From now on "готово" goes to standard error as well.
  void AllMessagesToErrorStream() { out_ = err_; }
  // Erases the progress line and prints the message.
  void ShowMessage(jobs::JobMessage message);

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

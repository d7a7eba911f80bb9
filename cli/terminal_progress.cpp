#include "cli/terminal_progress.h"

#include <array>
#include <cstdio>
#include <string>

#include "cli/console.h"

namespace cli {

namespace {
constexpr int kBarWidth = 40;
constexpr int kLineWidth = kBarWidth + 7;  // "[", the bar, "] 100%"
}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, std::FILE* err,
                                   bool showProgress)
    : out_(out), err_(err), showProgress_(showProgress) {}

void TerminalProgress::SetRange(int minimum, int maximum) {
  low_ = minimum;
  high_ = maximum > minimum ? maximum : minimum + 1;
}

void TerminalProgress::SetPosition(int position) {
  if (!showProgress_) {
    return;
  }
  const Clock::time_point now = Clock::now();
  if (lineDrawn_ && now - lastDraw_ < kRedrawInterval) {
    return;
  }
  lastDraw_ = now;
  Draw(position);
}

void TerminalProgress::Draw(int position) {
  const int percent = 100 * (position - low_) / (high_ - low_);
  const int filled = kBarWidth * (position - low_) / (high_ - low_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::array<char, kLineWidth + 2> line{};  // with "\r" and the final zero
  std::snprintf(line.data(), line.size(), "\r[%s] %3d%%", bar.c_str(), percent);
  WriteText(err_, line.data());
  lineDrawn_ = true;
}

void TerminalProgress::EraseProgressLine() {
  if (lineDrawn_) {
    WriteText(err_, LineEraser(kLineWidth));
    lineDrawn_ = false;
  }
}

void TerminalProgress::ShowMessage(jobs::JobMessage message) {
  EraseProgressLine();
  std::FILE* stream = message == jobs::JobMessage::MSG_DONE ? out_ : err_;
  WriteText(stream, std::string(jobs::MessageText(message)) + "\n");
}

}  // namespace cli

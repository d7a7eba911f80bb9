#include "cli/terminal_progress.h"

#include <string>

namespace cli {

namespace {
constexpr int kBarWidth = 40;
}

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
  std::fprintf(err_, "\r[%s] %3d%%", bar.c_str(), percent);
  std::fflush(err_);
  lineDrawn_ = true;
}

void TerminalProgress::EraseProgressLine() {
  if (lineDrawn_) {
    std::fputs("\r\033[K", err_);
    lineDrawn_ = false;
  }
}

void TerminalProgress::ShowMessage(jobs::JobMessage message) {
  EraseProgressLine();
  std::FILE* stream = message == jobs::JobMessage::MSG_DONE ? out_ : err_;
  const std::string_view text = jobs::MessageText(message);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace cli

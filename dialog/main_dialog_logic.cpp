#include "dialog/main_dialog_logic.h"

#include <system_error>
#include <utility>

#include "jobs/messages.h"

namespace dialog {

// The job's progress, carried to the view on the dialog's thread.
class MainDialogLogic::WorkerProgress final : public jobs::ProgressSink {
 public:
  explicit WorkerProgress(MainDialogLogic& logic) : logic_(logic) {}

  void SetRange(int minimum, int maximum) override {
    logic_.CallOnDialogThread(
        [&] { logic_.view_.SetProgressRange(minimum, maximum); });
  }
  void SetPosition(int position) override {
    logic_.CallOnDialogThread(
        [&] { logic_.view_.SetProgressPosition(position); });
  }

 private:
  MainDialogLogic& logic_;
};

MainDialogLogic::MainDialogLogic(MainDialogView& view) : view_(view) {}

MainDialogLogic::~MainDialogLogic() {
  if (!worker_.joinable()) {
    return;
  }
  running_.store(0);
  std::unique_lock lock(mutex_);
  endingUnderWorker_ = true;
  finalMessageOpen_ = false;  // an open message no longer holds the worker
  changed_.notify_all();
  while (!workerEnded_ || !pendingCalls_.empty()) {
    changed_.wait(lock,
                  [this] { return workerEnded_ || !pendingCalls_.empty(); });
    lock.unlock();
    RunPendingCalls();
    lock.lock();
  }
  lock.unlock();
  if (worker_.joinable()) {  // unless OnWorkerEnded has joined it
    worker_.join();
  }
}

void MainDialogLogic::Refresh() {
  view_.ShowTexts(
      {fields_.inputText, fields_.outputText, fields_.passwordText});
}

void MainDialogLogic::OnStart() {
  // A worker still ending after a Cancel has not shown its message yet; a
  // new job waits until it has gone.
  if (running_.load() != 0 || worker_.joinable()) {
    return;
  }
  BoxTexts texts = view_.ReadTexts();
  fields_.inputText = std::move(texts.input);
  fields_.outputText = std::move(texts.output);
  fields_.passwordText = std::move(texts.password);
  request_ = {fields_.inputText, fields_.inputPath, fields_.outputText,
              fields_.outputPath, fields_.passwordText};
  outputPickedDuringJob_ = false;
  workerEnded_ = false;
  view_.EnableStart(false);
  running_.store(1);
  try {
    worker_ = std::thread([this] { RunWorker(); });
  } catch (const std::system_error&) {
    // No thread: nothing runs, and the dialog is as before the start.
    view_.EnableStart(true);
    running_.store(0);
  }
}

void MainDialogLogic::RunWorker() {
  WorkerProgress progress(*this);
  result_ = jobs::RunJob(request_, running_, progress);
  const std::string_view text = jobs::MessageText(result_.message);
  // The job's end, in this order: its message, closed by the user; then
  // the start button; then the flag.
  CallOnDialogThread([&] {
    {
      const std::lock_guard lock(mutex_);
      if (endingUnderWorker_) {
        return;  // nobody is left to read it
      }
      finalMessageOpen_ = true;
    }
    view_.ShowFinalMessage(text);
  });
  WaitForFinalMessage();
  CallOnDialogThread([this] { view_.EnableStart(true); });
  running_.store(0);
  const std::lock_guard lock(mutex_);
  workerEnded_ = true;
  pendingCalls_.emplace_back([this] { OnWorkerEnded(); });
  changed_.notify_all();
  view_.RequestPendingCalls();
}

void MainDialogLogic::WaitForFinalMessage() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !finalMessageOpen_; });
}

void MainDialogLogic::CallOnDialogThread(const std::function<void()>& call) {
  bool done = false;
  std::unique_lock lock(mutex_);
  pendingCalls_.emplace_back([&] {
    call();
    const std::lock_guard doneLock(mutex_);
    done = true;
    changed_.notify_all();
  });
  changed_.notify_all();
  view_.RequestPendingCalls();
  changed_.wait(lock, [&] { return done; });
}

void MainDialogLogic::RunPendingCalls() {
  for (;;) {
    std::function<void()> call;
    {
      const std::lock_guard lock(mutex_);
      if (pendingCalls_.empty()) {
        return;
      }
      call = std::move(pendingCalls_.front());
      pendingCalls_.pop_front();
    }
    call();
  }
}

void MainDialogLogic::OnWorkerEnded() {
  if (!worker_.joinable()) {
    return;
  }
  worker_.join();
  // The names the job extended, unless a pick has replaced them meanwhile.
  if (!outputPickedDuringJob_) {
    fields_.outputText = result_.outputText;
    fields_.outputPath = result_.outputPath;
  }
  if (closeWhenWorkerEnds_ && !endingUnderWorker_) {
    closeWhenWorkerEnds_ = false;
    view_.Close();
  }
}

void MainDialogLogic::OnFinalMessageClosed() {
  const std::lock_guard lock(mutex_);
  finalMessageOpen_ = false;
  changed_.notify_all();
}

void MainDialogLogic::OnCancel() {
  if (running_.load() == 1) {
    running_.store(0);
    return;
  }
  if (worker_.joinable()) {
    // The worker is still ending (cleaning up, or its message is open).
    closeWhenWorkerEnds_ = true;
    return;
  }
  view_.Close();
}

void MainDialogLogic::OnPickInput() { view_.OpenPicker(PathBox::kInput); }

void MainDialogLogic::OnPickOutput() { view_.OpenPicker(PathBox::kOutput); }

void MainDialogLogic::OnPickEnded(PathBox box,
                                  const std::optional<PickedFile>& picked) {
  if (picked && !picked->path.empty()) {
    if (box == PathBox::kInput) {
      fields_.inputText = picked->text;
      fields_.inputPath = picked->path;
    } else {
      fields_.outputText = picked->text;
      fields_.outputPath = picked->path;
      outputPickedDuringJob_ = worker_.joinable();
    }
  }
  Refresh();
}

void MainDialogLogic::OnHelp() {
  view_.SetVisible(false);
  view_.OpenHelp();
}

void MainDialogLogic::OnAbout() {
  view_.SetVisible(false);
  view_.OpenAbout();
}

void MainDialogLogic::OnSideDialogClosed() { view_.SetVisible(true); }

}  // namespace dialog

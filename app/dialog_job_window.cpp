#include "app/dialog_job_window.h"

#include <QProgressBar>
#include <QThread>
#include <memory>

#include "jobs/messages.h"

namespace app {

namespace {

// Set once the final message box has been closed; the worker waits for it.
class BoxClosed {
 public:
  void Set() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
};

}  // namespace

DialogJobWindow::DialogJobWindow(QWidget& dialog, QProgressBar& progressBar,
                                 QWidget& startButton)
    : dialog_(dialog),
      progressBar_(progressBar),
      startButton_(startButton),
      runPending_(new ThreadCall([this] { RunPending(); }, &dialog)) {}

void DialogJobWindow::RunOnDialogThread(
    const std::function<void()>& operation) {
  if (QThread::currentThread() == dialog_.thread()) {
    operation();
    return;
  }
  std::unique_lock lock(mutex_);
  pending_ = &operation;
  runPending_->Post();
  done_.wait(lock, [this] { return pending_ == nullptr; });
}

void DialogJobWindow::RunPending() {
  const std::lock_guard lock(mutex_);
  if (pending_ != nullptr) {
    (*pending_)();
    pending_ = nullptr;
    done_.notify_all();
  }
}

void DialogJobWindow::SetRange(int minimum, int maximum) {
  RunOnDialogThread([&] { progressBar_.setRange(minimum, maximum); });
}

void DialogJobWindow::SetPosition(int position) {
  RunOnDialogThread([&] { progressBar_.setValue(position); });
}

void DialogJobWindow::EnableStartButton(bool enable) {
  RunOnDialogThread([&] { startButton_.setEnabled(enable); });
}

void DialogJobWindow::ShowMessage(jobs::JobMessage message) {
  const auto closed = std::make_shared<BoxClosed>();
  RunOnDialogThread([&] {
    const QString text = QString::fromUtf8(jobs::MessageText(message));
    auto* box = new QMessageBox(QMessageBox::NoIcon, text, text,
                                QMessageBox::Ok, nullptr);
    box->setObjectName("finalMessage");
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Closed by its button, Esc or its close box, or destroyed: either way
    // the worker may go on.
    QObject::connect(box, &QObject::destroyed, [closed] { closed->Set(); });
    QObject::connect(box, &QMessageBox::finished, [closed] { closed->Set(); });
    finalBox_ = box;
    box->show();
  });
  closed->Wait();
}

}  // namespace app

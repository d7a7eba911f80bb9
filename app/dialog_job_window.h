#pragma once

#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "jobs/job_context.h"

class QProgressBar;
class QWidget;

namespace app {

// The job's window operations, carried out on the dialog's thread while the
// worker waits, as synchronous window messages would be.
//
// The worker hands an operation over under a mutex, posts an event to the
// dialog and waits; the dialog's thread runs it when the event arrives
// (RunPending) and wakes the worker. The dialog's thread never waits for the
// worker here, so the two cannot block each other. The final message box is
// shown without an owner and without modality; the worker waits until it is
// closed.
class DialogJobWindow final : public jobs::JobWindow {
 public:
  // The event that makes the dialog call RunPending.
  static const QEvent::Type kRunPendingEvent;

  DialogJobWindow(QWidget& dialog, QProgressBar& progressBar,
                  QWidget& startButton);

  void SetProgressRange(int low, int high, int step) override;
  void SetProgressPosition(int position) override;
  void EnableStartButton(bool enable) override;
  void ShowMessage(jobs::JobMessage message) override;

  // On the dialog's thread: runs the operation a worker waits for, if any.
  void RunPending();
  // The final message box while it is open; on the dialog's thread.
  [[nodiscard]] QMessageBox* FinalMessageBox() const { return finalBox_; }

 private:
  void RunOnDialogThread(const std::function<void()>& operation);

  QWidget& dialog_;
  QProgressBar& progressBar_;
  QWidget& startButton_;
  QPointer<QMessageBox> finalBox_;

  std::mutex mutex_;
  std::condition_variable done_;
  const std::function<void()>* pending_ = nullptr;
};

}  // namespace app

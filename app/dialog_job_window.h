#pragma once

#include <QMessageBox>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "app/thread_call.h"
#include "jobs/messages.h"
#include "jobs/run_job.h"

class QProgressBar;
class QWidget;

namespace app {

// The job's window operations, carried out on the dialog's thread while the
// worker waits, as synchronous window messages would be.
//
// The worker hands an operation over under a mutex, asks the dialog's thread
// to run it and waits; the dialog's thread runs it (RunPending) and wakes the
// worker. The dialog's thread never waits for the
// worker here, so the two cannot block each other. The final message box is
// shown without an owner and without modality; the worker waits until it is
// closed.
class DialogJobWindow final : public jobs::ProgressSink {
 public:
  DialogJobWindow(QWidget& dialog, QProgressBar& progressBar,
                  QWidget& startButton);

  void SetRange(int minimum, int maximum) override;
  void SetPosition(int position) override;
  void EnableStartButton(bool enable);
  // Shows the job's final message and returns once it has been closed.
  void ShowMessage(jobs::JobMessage message);

  // The final message box while it is open; on the dialog's thread.
  [[nodiscard]] QMessageBox* FinalMessageBox() const { return finalBox_; }

 private:
  void RunOnDialogThread(const std::function<void()>& operation);
  // On the dialog's thread: runs the operation a worker waits for, if any.
  void RunPending();

  QWidget& dialog_;
  QProgressBar& progressBar_;
  QWidget& startButton_;
  QPointer<QMessageBox> finalBox_;

  std::mutex mutex_;
  std::condition_variable done_;
  const std::function<void()>* pending_ = nullptr;
  ThreadCall* runPending_;  // owned by the dialog
};

}  // namespace app

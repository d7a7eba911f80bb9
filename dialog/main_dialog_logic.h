#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "dialog/main_dialog_view.h"
#include "jobs/run_job.h"

namespace dialog {

// What the main dialog keeps: the texts of its three boxes as of the last
// start or pick, and the two picked paths.
struct DialogFields {
  std::string inputText;
  std::string outputText;
  std::string passwordText;
  std::string inputPath;
  std::string outputPath;
};

// The main dialog's behaviour, free of any window system: the fields, the
// picks, the start of a job on a worker thread, Cancel, help and About.
//
// Every public call is made on the dialog's thread. The worker reaches the
// view only through calls it queues for that thread and waits for
// (RunPendingCalls carries them out), so the view is only ever used from
// the dialog's thread. The dialog's thread never waits for the worker,
// except when the logic ends under it.
class MainDialogLogic {
 public:
  explicit MainDialogLogic(MainDialogView& view);
  MainDialogLogic(const MainDialogLogic&) = delete;
  MainDialogLogic& operator=(const MainDialogLogic&) = delete;
  // Cancels a running job and waits for its worker, carrying out the
  // worker's calls meanwhile; a final message still to come is not shown.
  ~MainDialogLogic();

  // The start command: ignored while a job runs or its worker is ending;
  // otherwise takes the boxes into the fields and starts a job on copies.
  void OnStart();
  // The cancel command (cancel button, Esc, the close box): cancels a
  // running job and stays; once the job has been cancelled, or while its
  // final message is open, closes when the worker has ended; idle, closes.
  void OnCancel();
  void OnPickInput();
  void OnPickOutput();
  // A picker's end (`picked` empty if cancelled), or a file dropped on a
  // box: sets that field and path, then refreshes all three boxes from the
  // fields in every case, so a password typed since the last start is lost.
  void OnPickEnded(PathBox box, const std::optional<PickedFile>& picked);
  // Help and About hide the dialog until they close; a job goes on.
  void OnHelp();
  void OnAbout();
  void OnSideDialogClosed();
  void OnFinalMessageClosed();
  // Carries out the calls that the worker waits for.
  void RunPendingCalls();

  [[nodiscard]] const DialogFields& Fields() const { return fields_; }
  // The running flag is set.
  [[nodiscard]] bool Running() const { return running_.load() != 0; }
  // A worker thread exists: from a start until it has ended.
  [[nodiscard]] bool WorkerExists() const { return worker_.joinable(); }

 private:
  class WorkerProgress;

  void RunWorker();
  // On the worker: runs `call` on the dialog's thread and waits for it.
  void CallOnDialogThread(const std::function<void()>& call);
  void WaitForFinalMessage();
  // On the dialog's thread, once the worker has ended.
  void OnWorkerEnded();
  void Refresh();

  MainDialogView& view_;
  DialogFields fields_;
  jobs::RunningFlag running_{0};

  // The job's own copies, taken at its start; the result, written by the
  // worker and read once it has ended.
  jobs::JobRequest request_;
  jobs::JobResult result_;
  bool outputPickedDuringJob_ = false;
  bool closeWhenWorkerEnds_ = false;
  std::thread worker_;

  // Shared with the worker, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> pendingCalls_;
  bool finalMessageOpen_ = false;
  bool workerEnded_ = false;
  bool endingUnderWorker_ = false;  // the logic is being destroyed
};

}  // namespace dialog

#pragma once

#include <QIcon>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/dialog.h"
#include "app/dialog_job_window.h"
#include "app/thread_call.h"
#include "jobs/run_job.h"

class QMenu;

namespace app {

// The window messages the main dialog answers, as its message map names
// them.
enum class Message : std::uint8_t {
  WM_SYSCOMMAND,     // NOLINT(readability-identifier-naming)
  WM_PAINT,          // NOLINT(readability-identifier-naming)
  WM_QUERYDRAGICON,  // NOLINT(readability-identifier-naming)
  WM_COMMAND,        // NOLINT(readability-identifier-naming)
};

// The system commands the dialog's window menu offers besides About.
inline constexpr unsigned kSysCommandMinimize = 0xF020;  // SC_MINIMIZE
inline constexpr unsigned kSysCommandClose = 0xF060;     // SC_CLOSE

// The main dialog: two path boxes with their pickers, the password box, the
// progress bar, help, start and cancel. A job runs on a worker thread of its
// own and reaches the dialog through the window operations of
// DialogJobWindow.
class CprogramDlg : public CDialog {
 public:
  // A file picker: the chosen path, or nothing when cancelled.
  using FilePicker = std::function<QString()>;

  CprogramDlg();
  ~CprogramDlg() override;

  // The pickers; the defaults are the platform's open and save dialogs
  // (no owner, no filter, no overwrite prompt). Tests put their own here.
  FilePicker m_openPicker;
  FilePicker m_savePicker;

  QIcon m_hIcon;
  std::string m_inputPath;
  std::string m_outputPath;
  std::string m_password;
  jobs::RunningFlag m_running{0};
  // The paths as picked: the names a job opens and creates.
  std::string m_inputPathBuffer;
  std::string m_outputPathBuffer;

  // True while a worker thread exists (also after the flag is cleared,
  // until it has returned).
  [[nodiscard]] bool WorkerRunning() const { return worker_.joinable(); }
  // The final message box of the running job while it is open.
  [[nodiscard]] QMessageBox* FinalMessageBox() const;
  // The window menu where the window system offers none: minimise, close,
  // a separator and the About entry, last.
  [[nodiscard]] QMenu* SystemMenu() const { return systemMenu_; }
  // Sets a path box as a pick would; for files dropped on the boxes.
  void SetPickedPath(int boxId, const QString& path);

  // Handlers, in the order of the message map.
  void OnSysCommand(unsigned nID, std::intptr_t lParam);
  void OnPaint();
  [[nodiscard]] QIcon OnQueryDragIcon() const;
  void OnBrowseInput();
  void OnBrowseOutput();
  void OnOkCommand();
  void OnShowHelp();
  void OnCancelButton();
  void OnStart();

 protected:
  void DoDataExchange(CDataExchange& dx) override;
  bool OnInitDialog() override;
  void OnCommand(int id) override;

  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
#ifdef _WIN32
  bool nativeEvent(const QByteArray& eventType, void* message,
                   qintptr* result) override;
#endif

 private:
  // Runs the handler that the message map gives for a message; false when
  // the map has none.
  bool Dispatch(Message message, unsigned id, std::intptr_t param = 0);
  // What the window system does with a system command the dialog leaves
  // alone.
  void DefaultSysCommand(unsigned nID);
  void BuildSystemMenu();
  void OnWorkerEnded();
  // The path box under a point of the dialog, or 0.
  [[nodiscard]] int PathBoxAt(const QPoint& point) const;

  // The job's own copies of the texts and paths, taken by OnStart: the
  // dialog's fields may change under a running job (a pick), these do not.
  jobs::JobRequest request_;
  // Written by the worker, read once it has been joined.
  jobs::JobResult result_;
  bool outputPickedDuringJob_ = false;
  std::unique_ptr<DialogJobWindow> jobWindow_;
  ThreadCall* workerEnded_;  // posted by the worker as it ends
  std::thread worker_;
  std::atomic<bool> workerReturned_{false};
  // A Cancel came while the worker was still ending: close once it has.
  bool closeWhenWorkerEnds_ = false;

  QPaintEvent* paintEvent_ = nullptr;
  QMenu* systemMenu_ = nullptr;
  bool sysCommandHandled_ = false;
};

}  // namespace app

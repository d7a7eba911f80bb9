// program: the desktop dialog that encrypts and decrypts files.

#include <QApplication>
#include <QTimer>

#include "app/program_app.h"
#include "app/program_dlg.h"

namespace {

// Set by tools/screenshot.sh: save a picture of the dialog once it shows,
// then close it.
void ScheduleScreenshot(const QString& path) {
  QTimer::singleShot(500, [path] {
    if (app::CprogramDlg* dialog = app::theApp.m_pMainWnd) {
      dialog->grab().save(path, "PNG");
      dialog->EndDialog(IDCANCEL);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is not read, not even by Qt.
  int qtArgc = argc > 0 ? 1 : 0;
  QApplication application(qtArgc, argv);
  const QString screenshot = qEnvironmentVariable("PROGRAM_SCREENSHOT");
  if (!screenshot.isEmpty()) {
    ScheduleScreenshot(screenshot);
  }
  app::theApp.InitInstance();
  return 0;
}

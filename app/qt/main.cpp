// program: the desktop dialog that encrypts and decrypts files.

#include <QApplication>
#include <QTimer>

#include "app/qt/application_setup.h"
#include "app/qt/main_dialog.h"

int main(int argc, char** argv) {
  // The command line is not read, not even by Qt.
  int qtArgc = argc > 0 ? 1 : 0;
  QApplication application(qtArgc, argv);
  PrepareApplication(application);
  MainDialog dialog;
  QObject::connect(&dialog, &QDialog::finished, &application,
                   &QCoreApplication::quit);
  // Set by tools/screenshot.sh: a picture of the dialog once it shows.
  const QString screenshot = qEnvironmentVariable("PROGRAM_SCREENSHOT");
  QTimer screenshotTimer;
  if (!screenshot.isEmpty()) {
    screenshotTimer.setSingleShot(true);
    screenshotTimer.callOnTimeout(&dialog, [&dialog, screenshot] {
      dialog.grab().save(screenshot, "PNG");
      dialog.Close();
    });
    screenshotTimer.start(500);
  }
  dialog.show();
  QApplication::exec();
  return 0;
}

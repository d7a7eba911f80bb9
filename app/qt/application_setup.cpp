#include "app/qt/application_setup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

void PrepareApplication(QApplication& application) {
  // The main dialog hides itself while help or About is open; that must
  // not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  QIcon icon;
  for (const char* size : {"48", "32", "16"}) {
    icon.addFile(QStringLiteral(":/icons/program-%1.png").arg(size));
  }
  QApplication::setWindowIcon(icon);

  // The file dialogs, the message box buttons and the edit boxes' menus.
  auto* translator = new QTranslator(&application);
  if (translator->load(QLocale(QLocale::Bulgarian), QStringLiteral("qtbase"),
                       QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }

  // The program keeps no settings. Qt's file dialogs write their history
  // to the user's settings as they close; those settings are sent where no
  // file can be made.
  for (const QSettings::Format format :
       {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope,
                       QStringLiteral("/dev/null"));
  }
}

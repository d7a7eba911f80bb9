#include "app/program_app.h"

#include <QApplication>

#include "app/program_dlg.h"

namespace app {

CprogramApp theApp;  // NOLINT: the one application object

bool CprogramApp::InitInstance() {
  // The main dialog hides itself while help or About runs; no window may be
  // left visible then, and that must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  {
    CprogramDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
  return false;
}

}  // namespace app

#pragma once

namespace app {

class CprogramDlg;

// The application: its whole life is one modal run of the main dialog.
class CprogramApp {
 public:
  // Runs the main dialog until it closes; always false, so that the caller
  // ends the program.
  bool InitInstance();

  // The main dialog while it runs.
  CprogramDlg* m_pMainWnd = nullptr;  // NOLINT: the framework's name
};

extern CprogramApp theApp;  // NOLINT: the framework's name

}  // namespace app

// program: the desktop dialog that encrypts and decrypts files, on Windows.

#include <windows.h>
// The common controls' header needs windows.h before it.
#include <commctrl.h>

#include "app/win32/main_dialog.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/,
                    PWSTR /*commandLine*/, int /*show*/) {
  // The command line is not read. The progress bar's class comes from the
  // common controls; the pickers and dropped files need OLE on this thread.
  const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const HRESULT ole = OleInitialize(nullptr);
  {
    win32::MainDialog dialog;
    dialog.Run();
  }
  if (SUCCEEDED(ole)) {
    OleUninitialize();
  }
  return 0;
}

#pragma once

#include <string>

#include "app/dialog.h"

namespace app {

// The About dialog: who maintains the program and how to reach them.
class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

  std::string m_nameLine;
  std::string m_emailLine;

 protected:
  void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace app

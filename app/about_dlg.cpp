#include "app/about_dlg.h"

#include "app/data_exchange.h"
#include "app/maintainers.h"

namespace app {

CAboutDlg::CAboutDlg()
    : CDialog(res::kAboutDialog),
      m_nameLine("Име: " + std::string(kMaintainerName)),
      m_emailLine("Електронна поща: " + std::string(kMaintainerEmail)) {}

void CAboutDlg::DoDataExchange(CDataExchange& dx) {
  DDX_Text(dx, IDC_ABOUT_NAME, m_nameLine);
  DDX_Text(dx, IDC_ABOUT_EMAIL, m_emailLine);
}

}  // namespace app

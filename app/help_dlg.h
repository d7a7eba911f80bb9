#pragma once

#include <string>
#include <string_view>

#include "app/dialog.h"

namespace app {

// The help text: five lines joined by a line feed, 581 bytes in
// Windows-1251.
extern const std::string_view kHelpText;

// The help dialog "помощ": one static that shows the help text.
class dlg_1 : public CDialog {  // NOLINT(readability-identifier-naming)
 public:
  dlg_1();

  std::string m_helpText;

 protected:
  void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace app

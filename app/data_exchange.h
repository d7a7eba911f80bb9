#pragma once

#include <string>

namespace app {

class CDialog;

// One run of a dialog's data exchange: towards the controls, or from them
// with validation.
class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

  [[nodiscard]] bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }

  CDialog& m_pDlgWnd;             // NOLINT: the framework's names
  const bool m_bSaveAndValidate;  // NOLINT
  int m_idLastControl = 0;        // NOLINT

 private:
  bool failed_ = false;
};

// Binds a text box or a static to a UTF-8 string.
void DDX_Text(CDataExchange& dx,
              int id,  // NOLINT(readability-identifier-naming)
              std::string& value);
// On the way in, fails when the string has more than `count` characters; on
// the way out, limits the last bound box to `count` typed characters.
void DDV_MaxChars(CDataExchange& dx,  // NOLINT(readability-identifier-naming)
                  const std::string& value, int count);

}  // namespace app

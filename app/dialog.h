#pragma once

#include <QDialog>
#include <QEventLoop>
#include <map>

#include "app/dialog_units.h"
#include "res/dialog_templates.h"

namespace app {

class CDataExchange;

// ShowWindow's two commands, as the dialogs use them.
enum ShowCommand { SW_HIDE, SW_SHOW };  // NOLINT(readability-identifier-naming)

// A dialog built from a template in res/: the controls in template order
// (which is the tab order), laid out in dialog units of the dialog's font,
// in a window of fixed size. Commands (button clicks, Enter, Esc, the
// close box) arrive at OnCommand with the control's id.
//
// Qt ends QDialog::exec() as soon as a dialog is hidden; DoModal runs its
// own loop instead, which only EndDialog ends, so that a dialog may hide
// itself while another one runs.
class CDialog : public QDialog {
 public:
  explicit CDialog(const res::DialogTemplate& dialogTemplate);
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  ~CDialog() override;

  // Shows the dialog, initialised, and returns at once.
  void Create();
  // Shows the dialog and returns the result that EndDialog was given.
  int DoModal();
  void EndDialog(int result);
  // True once EndDialog has ended the dialog.
  [[nodiscard]] bool Ended() const { return ended_; }
  [[nodiscard]] int Result() const { return result_; }

  [[nodiscard]] QWidget* GetDlgItem(int id) const;
  // Moves the dialog's data between its members and its controls: false
  // copies members into controls, true copies controls into members and
  // validates. False if a validation failed.
  bool UpdateData(bool saveAndValidate);
  void ShowWindow(ShowCommand command);

  [[nodiscard]] const res::DialogTemplate& Template() const {
    return template_;
  }
  [[nodiscard]] const DialogUnits& Units() const { return units_; }

 protected:
  virtual void DoDataExchange(CDataExchange& /*dx*/) {}
  // Returns true to put the focus on the first tab stop.
  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // A command from a control, a key or the close box. The default sends
  // IDOK to OnOK and IDCANCEL to OnCancel.
  virtual void OnCommand(int id);

  // Esc, the close box and a dialog's own reject() are the cancel command.
  void reject() override;
  void accept() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();

  const res::DialogTemplate& template_;
  DialogUnits units_;
  std::map<int, QWidget*> controls_;
  QEventLoop* modalLoop_ = nullptr;
  bool initialised_ = false;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace app

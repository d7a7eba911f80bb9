#pragma once

#include <QDialog>
#include <map>

#include "res/dialog_templates.h"

// A dialog whose controls come from a template in res/: made in template
// order, which is also the tab order, and placed in dialog units of the
// dialog's font, in a window of fixed size without a maximise button.
// Enter presses the focused push button; elsewhere it does nothing.
class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TemplateDialog(const res::DialogTemplate& dialogTemplate,
                          QWidget* parent = nullptr);

  [[nodiscard]] QWidget* Control(int id) const;
  template <class Widget>
  [[nodiscard]] Widget* ControlAs(int id) const {
    return qobject_cast<Widget*>(Control(id));
  }
  // Focus on the first enabled tab stop, as the dialog opens.
  void FocusFirstTabStop();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const res::DialogTemplate& template_;
  std::map<int, QWidget*> controls_;
};

#pragma once

#include "app/qt/template_dialog.h"

// The help dialog "помощ": the help text in one word-wrapping static.
class HelpDialog final : public TemplateDialog {
  Q_OBJECT

 public:
  explicit HelpDialog(QWidget* parent = nullptr);
};

// The About dialog: who maintains the program and how to reach them.
class AboutDialog final : public TemplateDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

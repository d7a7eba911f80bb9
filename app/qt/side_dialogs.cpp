#include "app/qt/side_dialogs.h"

#include <QLabel>

#include "res/dialog_texts.h"

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

HelpDialog::HelpDialog(QWidget* parent)
    : TemplateDialog(res::kHelpDialog, parent) {
  ControlAs<QLabel>(IDC_HELP_TEXT)->setText(FromUtf8(res::kHelpText));
}

AboutDialog::AboutDialog(QWidget* parent)
    : TemplateDialog(res::kAboutDialog, parent) {
  ControlAs<QLabel>(IDC_ABOUT_NAME)
      ->setText(FromUtf8(res::kAboutNamePrefix) +
                FromUtf8(res::kMaintainerName));
  ControlAs<QLabel>(IDC_ABOUT_EMAIL)
      ->setText(FromUtf8(res::kAboutEmailPrefix) +
                FromUtf8(res::kMaintainerEmail));
}

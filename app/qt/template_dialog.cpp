#include "app/qt/template_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "dialog/dialog_units.h"

namespace {

namespace style = res::style;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

dialog::DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  return dialog::DialogUnits::FromLetters(
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                               "abcdefghijklmnopqrstuvwxyz")),
      metrics.height());
}

QRect ToQRect(const res::DialogRect& rect) {
  return {rect.x, rect.y, rect.width, rect.height};
}

Qt::WindowFlags WindowFlagsFor(const res::DialogTemplate& dialogTemplate) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
  if ((dialogTemplate.styles & style::kCaption) != 0) {
    flags |= Qt::WindowTitleHint;
  }
  if ((dialogTemplate.styles & style::kSysMenu) != 0) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if ((dialogTemplate.styles & style::kMinimizeBox) != 0) {
    flags |= Qt::WindowMinimizeButtonHint;
  }
  return flags;
}

QWidget* MakeControl(const res::ControlTemplate& control, QWidget* parent) {
  const QString text = FromUtf8(control.text);
  switch (control.kind) {
    case res::ControlKind::kPushButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);  // no default button
      return button;
    }
    case res::ControlKind::kStatic: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap((control.styles & style::kLeft) != 0);
      return label;
    }
    case res::ControlKind::kEdit: {
      auto* edit = new QLineEdit(text, parent);
      edit->setFrame((control.styles & style::kBorder) != 0);
      if ((control.styles & style::kPassword) != 0) {
        edit->setEchoMode(QLineEdit::Password);
      }
      return edit;
    }
    case res::ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
  }
  return nullptr;
}

}  // namespace

TemplateDialog::TemplateDialog(const res::DialogTemplate& dialogTemplate,
                               QWidget* parent)
    : QDialog(parent, WindowFlagsFor(dialogTemplate)),
      template_(dialogTemplate) {
  QFont font = QApplication::font("QDialog");
  font.setPointSize(dialogTemplate.fontPointSize);
  setFont(font);
  const dialog::DialogUnits units = UnitsOf(font);
  setObjectName(FromUtf8(dialogTemplate.name));
  setWindowTitle(FromUtf8(dialogTemplate.caption));
  setFixedSize(units.ToPixelsX(dialogTemplate.width),
               units.ToPixelsY(dialogTemplate.height));
  QWidget* previousTabStop = nullptr;
  for (const res::ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = MakeControl(control, this);
    widget->setObjectName(FromUtf8(control.name));
    widget->setGeometry(ToQRect(units.Map(control.rect)));
    widget->setEnabled((control.styles & style::kDisabled) == 0);
    widget->setVisible((control.styles & style::kVisible) != 0);
    const bool tabStop = (control.styles & style::kTabStop) != 0;
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    if (tabStop && previousTabStop != nullptr) {
      setTabOrder(previousTabStop, widget);
    }
    previousTabStop = tabStop ? widget : previousTabStop;
    controls_[control.id] = widget;
  }
}

QWidget* TemplateDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void TemplateDialog::FocusFirstTabStop() {
  for (const res::ControlTemplate& control : template_.controls) {
    QWidget* widget = Control(control.id);
    if ((control.styles & style::kTabStop) != 0 && widget->isEnabled()) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget());
        button != nullptr && button->isEnabled()) {
      button->click();
    }
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Esc: reject()
}

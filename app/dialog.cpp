#include "app/dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/data_exchange.h"

namespace app {

namespace {

using res::ControlKind;
namespace style = res::style;

// The dialog font: the platform's dialog font family at the template's
// point size.
QFont DialogFont(const res::DialogTemplate& dialogTemplate) {
  QFont font = QApplication::font("QDialog");
  font.setPointSize(dialogTemplate.fontPointSize);
  return font;
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
  return flags;  // never a maximise button
}

QWidget* MakeControl(const res::ControlTemplate& control, QWidget* parent) {
  const QString text = QString::fromUtf8(control.text.data(),
                                         static_cast<int>(control.text.size()));
  switch (control.kind) {
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(text, parent);
      // No button is the default one; Enter is handled by the dialog.
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case ControlKind::kStatic: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap((control.styles & style::kLeft) != 0);
      return label;
    }
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(text, parent);
      edit->setFrame((control.styles & style::kBorder) != 0);
      if ((control.styles & style::kPassword) != 0) {
        edit->setEchoMode(QLineEdit::Password);
      }
      return edit;
    }
    case ControlKind::kProgressBar: {
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

CDialog::CDialog(const res::DialogTemplate& dialogTemplate)
    : QDialog(nullptr, WindowFlagsFor(dialogTemplate)),
      template_(dialogTemplate),
      units_(DialogUnits::ForFont(DialogFont(dialogTemplate))) {
  setFont(DialogFont(dialogTemplate));
  setObjectName(
      QString::fromUtf8(dialogTemplate.name.data(),
                        static_cast<int>(dialogTemplate.name.size())));
  setWindowTitle(
      QString::fromUtf8(dialogTemplate.caption.data(),
                        static_cast<int>(dialogTemplate.caption.size())));
  setFixedSize(units_.MapSize(dialogTemplate.width, dialogTemplate.height));
  setSizeGripEnabled(false);
  BuildControls();
}

CDialog::~CDialog() = default;

void CDialog::BuildControls() {
  QWidget* previousTabStop = nullptr;
  for (const res::ControlTemplate& control : template_.controls) {
    QWidget* widget = MakeControl(control, this);
    widget->setObjectName(QString::fromUtf8(
        control.name.data(), static_cast<int>(control.name.size())));
    widget->setGeometry(units_.Map(control.rect));
    widget->setEnabled((control.styles & style::kDisabled) == 0);
    widget->setVisible((control.styles & style::kVisible) != 0);
    if ((control.styles & style::kTabStop) != 0) {
      widget->setFocusPolicy(Qt::StrongFocus);
      if (previousTabStop != nullptr) {
        QWidget::setTabOrder(previousTabStop, widget);
      }
      previousTabStop = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    if (auto* button = dynamic_cast<QPushButton*>(widget)) {
      const int id = control.id;
      connect(button, &QPushButton::clicked, this,
              [this, id] { OnCommand(id); });
    }
    controls_[control.id] = widget;
  }
}

QWidget* CDialog::GetDlgItem(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

void CDialog::ShowWindow(ShowCommand command) {
  setVisible(command == SW_SHOW);
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::Create() {
  if (!initialised_) {
    initialised_ = true;
    const bool focusFirstTabStop = OnInitDialog();
    show();
    if (focusFirstTabStop) {
      for (const res::ControlTemplate& control : template_.controls) {
        QWidget* widget = GetDlgItem(control.id);
        if ((control.styles & style::kTabStop) != 0 && widget->isEnabled()) {
          widget->setFocus(Qt::TabFocusReason);
          break;
        }
      }
    }
  } else {
    show();
  }
}

int CDialog::DoModal() {
  Create();
  if (!ended_) {
    QEventLoop loop;
    modalLoop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    modalLoop_ = nullptr;
  }
  return result_;
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  QDialog::done(result);
  if (modalLoop_ != nullptr) {
    modalLoop_->exit(result);
  }
}

void CDialog::OnOK() {
  if (UpdateData(true)) {
    EndDialog(IDOK);
  }
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnCommand(int id) {
  if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  }
}

void CDialog::reject() { OnCommand(IDCANCEL); }

void CDialog::accept() { OnCommand(IDOK); }

void CDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter presses the focused push button; anywhere else it is the
      // IDOK command.
      if (auto* button = dynamic_cast<QPushButton*>(focusWidget())) {
        if (button->isEnabled()) {
          button->click();
        }
      } else {
        OnCommand(IDOK);
      }
      event->accept();
      return;
    case Qt::Key_Escape:
      OnCommand(IDCANCEL);
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace app

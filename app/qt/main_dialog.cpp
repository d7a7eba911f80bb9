#include "app/qt/main_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>

#include "app/qt/password_validator.h"
#include "app/qt/side_dialogs.h"
#include "res/dialog_texts.h"

namespace {

using dialog::PathBox;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The one local file a drag carries, or nothing.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || data->urls().size() != 1 ||
      !data->urls().front().isLocalFile()) {
    return {};
  }
  return data->urls().front().toLocalFile();
}

dialog::PickedFile Picked(const QString& path) {
  return {QDir::toNativeSeparators(path).toStdString(),
          QFile::encodeName(path).toStdString()};
}

// Widens a message box so that its caption fits beside the icon and the
// buttons that a window manager puts in the title bar.
void FitCaption(QMessageBox& box) {
  const QFontMetrics metrics(box.font());
  const int width = metrics.horizontalAdvance(box.windowTitle()) * 5 / 4 +
                    6 * metrics.height();
  if (auto* layout = qobject_cast<QGridLayout*>(box.layout())) {
    layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum),
                    layout->rowCount(), 0, 1, layout->columnCount());
  }
}

}  // namespace

MainDialog::MainDialog(QWidget* parent)
    : TemplateDialog(res::kMainDialog, parent),
      logic_(std::make_unique<dialog::MainDialogLogic>(*this)) {
  const std::pair<int, std::string_view> texts[] = {
      {IDC_INPUT_LABEL, res::kInputLabel},
      {IDC_OUTPUT_LABEL, res::kOutputLabel},
      {IDC_PASSWORD_LABEL, res::kPasswordLabel},
      {IDC_START, res::kStartText},
      {IDCANCEL, res::kCancelText},
  };
  for (const auto& [id, text] : texts) {
    Control(id)->setProperty("text", FromUtf8(text));
  }
  // Each label names its box, for Alt-less readers: screen readers.
  for (const auto& [label, box] : {std::pair{IDC_INPUT_LABEL, IDC_INPUT_PATH},
                                   {IDC_OUTPUT_LABEL, IDC_OUTPUT_PATH},
                                   {IDC_PASSWORD_LABEL, IDC_PASSWORD}}) {
    auto* labelWidget = ControlAs<QLabel>(label);
    labelWidget->setBuddy(Control(box));
    Control(box)->setAccessibleName(labelWidget->text().chopped(1));
  }
  auto* password = ControlAs<QLineEdit>(IDC_PASSWORD);
  password->setMaxLength(20);
  password->setValidator(new app::Windows1251Validator(password));

  const auto onClick = [this](int id, void (dialog::MainDialogLogic::*call)()) {
    connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this,
            [this, call] { ((*logic_).*call)(); });
  };
  onClick(IDC_START, &dialog::MainDialogLogic::OnStart);
  onClick(IDC_BROWSE_INPUT, &dialog::MainDialogLogic::OnPickInput);
  onClick(IDC_BROWSE_OUTPUT, &dialog::MainDialogLogic::OnPickOutput);
  onClick(IDC_HELP_BUTTON, &dialog::MainDialogLogic::OnHelp);
  connect(ControlAs<QPushButton>(IDCANCEL), &QPushButton::clicked, this,
          &MainDialog::reject);
  setAcceptDrops(true);
  BuildWindowMenu();
}

MainDialog::~MainDialog() {
  // Ends a running job first, while the view can still serve its worker.
  logic_.reset();
  // The windows it owns go with it, with nobody left to report to.
  for (QDialog* window : findChildren<QDialog*>()) {
    disconnect(window, nullptr, this, nullptr);
  }
}

void MainDialog::BuildWindowMenu() {
  windowMenu_ = new QMenu(this);
  windowMenu_->setObjectName("windowMenu");
  windowMenu_->addAction(QStringLiteral("Ми&нимизирай"), this,
                         &QWidget::showMinimized);
  windowMenu_->addAction(QStringLiteral("&Затвори\tAlt+F4"), this,
                         &MainDialog::reject);
  windowMenu_->addSeparator();
  windowMenu_->addAction(FromUtf8(res::kAboutMenuText), this,
                         [this] { logic_->OnAbout(); });
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // The right button and the Menu key open the window menu; so does
  // Shift+F10, which window managers leave alone (unlike Alt+Space).
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    windowMenu_->popup(mapToGlobal(QPoint(0, 0)));
    event->accept();
    return;
  }
  TemplateDialog::keyPressEvent(event);
}

void MainDialog::showEvent(QShowEvent* event) {
  TemplateDialog::showEvent(event);
  if (!shownBefore_) {
    shownBefore_ = true;
    FocusFirstTabStop();  // "отказ", with no default button
  }
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  windowMenu_->popup(event->globalPos());
}

QFileDialog* MainDialog::Picker(PathBox box) const {
  return pickers_[static_cast<int>(box)];
}

void MainDialog::ShowTexts(const dialog::BoxTexts& texts) {
  ControlAs<QLineEdit>(IDC_INPUT_PATH)->setText(FromUtf8(texts.input));
  ControlAs<QLineEdit>(IDC_OUTPUT_PATH)->setText(FromUtf8(texts.output));
  ControlAs<QLineEdit>(IDC_PASSWORD)->setText(FromUtf8(texts.password));
}

dialog::BoxTexts MainDialog::ReadTexts() const {
  const auto text = [this](int id) {
    return ControlAs<QLineEdit>(id)->text().toStdString();
  };
  return {text(IDC_INPUT_PATH), text(IDC_OUTPUT_PATH), text(IDC_PASSWORD)};
}

void MainDialog::EnableStart(bool enabled) {
  QWidget* start = Control(IDC_START);
  // A disabled button hands its focus on to the next tab stop, "отказ",
  // where a later Enter would end the program: the password box takes it.
  if (!enabled && start->hasFocus()) {
    Control(IDC_PASSWORD)->setFocus(Qt::OtherFocusReason);
  }
  start->setEnabled(enabled);
}

void MainDialog::SetProgressRange(int minimum, int maximum) {
  ControlAs<QProgressBar>(IDC_PROGRESS)->setRange(minimum, maximum);
}

void MainDialog::SetProgressPosition(int position) {
  ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(position);
}

void MainDialog::ShowFinalMessage(std::string_view text) {
  const QString message = FromUtf8(text);
  // Owned by the dialog, so that it stays above it, but not modal, so
  // that the dialog stays usable.
  auto* box = new QMessageBox(QMessageBox::NoIcon, message, message,
                              QMessageBox::Ok, this);
  box->setObjectName("finalMessage");
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  FitCaption(*box);
  connect(box, &QMessageBox::finished, this,
          [this] { logic_->OnFinalMessageClosed(); });
  finalMessage_ = box;
  box->show();
}

void MainDialog::OpenPicker(PathBox box) {
  QPointer<QFileDialog>& picker = pickers_[static_cast<int>(box)];
  if (!picker.isNull()) {
    picker->raise();
    picker->activateWindow();
    return;
  }
  // Qt starts it in the folder of the last pick of this run.
  picker = new QFileDialog(this);
  picker->setWindowModality(Qt::NonModal);
  picker->setAttribute(Qt::WA_DeleteOnClose);
  if (box == PathBox::kInput) {
    picker->setFileMode(QFileDialog::ExistingFile);
  } else {
    picker->setAcceptMode(QFileDialog::AcceptSave);
    picker->setOption(QFileDialog::DontConfirmOverwrite);
  }
  connect(picker, &QFileDialog::finished, this,
          [this, box, dialog = picker.data()](int result) {
            const QString path = dialog->selectedFiles().value(0);
            if (result != QDialog::Accepted || path.isEmpty()) {
              logic_->OnPickEnded(box, std::nullopt);
              return;
            }
            logic_->OnPickEnded(box, Picked(path));
          });
  picker->show();
}

void MainDialog::OpenSideDialog(TemplateDialog* sideDialog) {
  sideDialog->setAttribute(Qt::WA_DeleteOnClose);
  sideDialog->setWindowModality(Qt::NonModal);
  connect(sideDialog, &QDialog::finished, this,
          [this] { logic_->OnSideDialogClosed(); });
  sideDialog->show();
}

void MainDialog::OpenHelp() { OpenSideDialog(new HelpDialog(this)); }

void MainDialog::OpenAbout() { OpenSideDialog(new AboutDialog(this)); }

void MainDialog::SetVisible(bool visible) {
  if (!visible) {
    placeBeforeHiding_ = pos();
    hide();
    return;
  }
  show();
  // Placed again where it was, frame included: left alone, a window
  // manager may put the client area where the frame was.
  move(placeBeforeHiding_);
}

void MainDialog::Close() { done(QDialog::Rejected); }

void MainDialog::reject() { logic_->OnCancel(); }

void MainDialog::RequestPendingCalls() {
  QMetaObject::invokeMethod(this, "RunPendingCalls", Qt::QueuedConnection);
}

void MainDialog::RunPendingCalls() {
  if (logic_) {
    logic_->RunPendingCalls();
  }
}

std::optional<PathBox> MainDialog::PathBoxAt(const QPoint& point) const {
  if (Control(IDC_INPUT_PATH)->geometry().contains(point)) {
    return PathBox::kInput;
  }
  if (Control(IDC_OUTPUT_PATH)->geometry().contains(point)) {
    return PathBox::kOutput;
  }
  return std::nullopt;
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void MainDialog::dragMoveEvent(QDragMoveEvent* event) {
  event->setAccepted(PathBoxAt(event->position().toPoint()) &&
                     !DraggedFile(event->mimeData()).isEmpty());
}

void MainDialog::dropEvent(QDropEvent* event) {
  const std::optional<PathBox> box = PathBoxAt(event->position().toPoint());
  const QString file = DraggedFile(event->mimeData());
  if (box && !file.isEmpty()) {
    event->acceptProposedAction();
    logic_->OnPickEnded(*box, Picked(file));
  }
}

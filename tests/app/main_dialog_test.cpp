// The Qt face: the template's controls and keys, and the windows it opens;
// the behaviour behind them is the dialog logic's, tested on its own.

#include "app/qt/main_dialog.h"

#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <memory>

#include "app/qt/side_dialogs.h"
#include "format/windows1251.h"
#include "res/dialog_texts.h"
#include "tests/support/test_files.h"

namespace test {
namespace {

void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers mods = {},
              const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(widget, &press);
}

class QtFace : public testing::Test {
 protected:
  QtFace() {
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    QObject::connect(dlg.get(), &QDialog::finished, [this] { closed = true; });
  }
  template <class Widget = QWidget>
  Widget* Item(int id) const {
    return dlg->ControlAs<Widget>(id);
  }
  void Click(int id) { Item<QPushButton>(id)->click(); }

  TempDir dir;
  std::unique_ptr<MainDialog> dlg = std::make_unique<MainDialog>();
  bool closed = false;
};

TEST_F(QtFace, ControlsInTemplateOrderWithTheirTextsAndStates) {
  // id, class, text (none for the bar), in template order.
  const std::tuple<int, const char*, const char*> rows[] = {
      {IDCANCEL, "QPushButton", "отказ"},
      {IDC_INPUT_LABEL, "QLabel", "входен файл:"},
      {IDC_PROGRESS, "QProgressBar", nullptr},
      {IDC_OUTPUT_LABEL, "QLabel", "изходен файл:"},
      {IDC_INPUT_PATH, "QLineEdit", ""},
      {IDC_OUTPUT_PATH, "QLineEdit", ""},
      {IDC_BROWSE_INPUT, "QPushButton", "..."},
      {IDC_BROWSE_OUTPUT, "QPushButton", "..."},
      {IDC_PASSWORD_LABEL, "QLabel", "парола:"},
      {IDC_PASSWORD, "QLineEdit", ""},
      {IDC_HELP_BUTTON, "QPushButton", "?"},
      {IDC_START, "QPushButton", "добре"},
  };
  const QList<QWidget*> children =
      dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  qsizetype index = 0;
  for (const auto& [id, kind, text] : rows) {
    QWidget* widget = Item(id);
    EXPECT_EQ(children.value(index++), widget) << id;
    EXPECT_STREQ(widget->metaObject()->className(), kind);
    EXPECT_TRUE(text == nullptr || widget->property("text") == text) << id;
    // The path boxes change only through a pick.
    EXPECT_EQ(widget->isEnabled(),
              id != IDC_INPUT_PATH && id != IDC_OUTPUT_PATH);
    EXPECT_FALSE(widget->property("default").toBool() ||
                 widget->property("autoDefault").toBool());
    if (auto* label = qobject_cast<QLabel*>(widget)) {  // buddy, and named
      EXPECT_EQ(label->buddy()->accessibleName() + ":", label->text());
    }
  }
  EXPECT_EQ(Item<QLineEdit>(IDC_PASSWORD)->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dlg->windowTitle(), "program");
  EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
  EXPECT_FALSE(dlg->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dlg->windowIcon().availableSizes().size(), 3);
}

TEST_F(QtFace, FocusAndKeys) {
  // The password box takes twenty Windows-1251 characters.
  auto* box = Item<QLineEdit>(IDC_PASSWORD);
  for (const QChar c : QString("абвгдежзийклмнопрс中€😀туфх")) {
    PressKey(box, Qt::Key_unknown, {}, QString(c));
  }
  EXPECT_EQ(box->text().toStdString(), "абвгдежзийклмнопрс€т");
  EXPECT_EQ(dlg->focusWidget(), Item(IDCANCEL));
  for (const int id : {IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT, IDC_PASSWORD,
                       IDC_HELP_BUTTON, IDC_START, IDCANCEL}) {
    PressKey(dlg->focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(dlg->focusWidget(), Item(id));
  }
  Item(IDC_PASSWORD)->setFocus();
  PressKey(Item(IDC_PASSWORD), Qt::Key_Return);  // does nothing
  EXPECT_FALSE(closed);
  EXPECT_FALSE(dlg->Logic().WorkerExists());
  Item(IDCANCEL)->setFocus();
  PressKey(Item(IDCANCEL), Qt::Key_Return);  // presses "отказ"
  EXPECT_TRUE(closed);
  for (const bool escape : {true, false}) {
    closed = false;
    dlg->show();
    escape ? PressKey(dlg.get(), Qt::Key_Escape) : void(dlg->close());
    EXPECT_TRUE(closed && !dlg->isVisible()) << escape;
  }
}

TEST_F(QtFace, FinalMessageStaysAboveTheUsableDialogAndEnterThenKeepsIt) {
  Item(IDC_START)->setFocus(Qt::MouseFocusReason);
  Click(IDC_START);
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return dlg->FinalMessage() != nullptr; }));
  QMessageBox* box = dlg->FinalMessage();
  EXPECT_EQ(box->text().toStdString(), "трябва да избереш входен файл");
  EXPECT_EQ(box->windowTitle(), box->text());
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->buttons().size(), 1);
  EXPECT_EQ(box->parentWidget(), dlg.get());  // above it
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  const QFontMetrics metrics(box->font());
  EXPECT_GE(box->width(), metrics.horizontalAdvance(box->windowTitle()) +
                              5 * metrics.height());
  EXPECT_FALSE(Item(IDC_START)->isEnabled());
  EXPECT_NE(dlg->focusWidget(), Item(IDCANCEL));
  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !dlg->Logic().WorkerExists(); }));
  EXPECT_TRUE(Item(IDC_START)->isEnabled());
  PressKey(dlg->focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(closed);
}

TEST_F(QtFace, PickersLeaveTheDialogUsableAndStoreNothing) {
  const std::string home = dir / "home";
  qputenv("HOME", home.c_str());
  qputenv("XDG_CONFIG_HOME", (home + "/.config").c_str());
  WriteFile(dir / "in.txt", "x");
  Click(IDC_BROWSE_INPUT);
  QFileDialog* picker = dlg->Picker(dialog::PathBox::kInput);
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->windowModality(), Qt::NonModal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  picker->selectFile(QString::fromStdString(dir / "in.txt"));
  QMetaObject::invokeMethod(picker, "accept");
  EXPECT_EQ(Item<QLineEdit>(IDC_INPUT_PATH)->text().toStdString(),
            dir / "in.txt");
  EXPECT_EQ(dlg->Logic().Fields().inputPath, dir / "in.txt");
  Click(IDC_BROWSE_OUTPUT);  // starts where the last pick was made
  QFileDialog* output = dlg->Picker(dialog::PathBox::kOutput);
  EXPECT_EQ(output->directory().filePath("in.txt").toStdString(),
            dir / "in.txt");
  output->reject();

  // A file dropped on a path box is picked; elsewhere it is refused.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "drop.txt"))});
  for (const auto& [where, accepted] :
       {std::pair{Item(IDC_PROGRESS)->geometry().center(), false},
        std::pair{Item(IDC_OUTPUT_PATH)->geometry().center(), true}}) {
    QDragMoveEvent move(where, Qt::CopyAction, &data, Qt::LeftButton, {});
    static_cast<QObject*>(dlg.get())->event(&move);
    EXPECT_EQ(move.isAccepted(), accepted);
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, {});
    static_cast<QObject*>(dlg.get())->event(&drop);
    EXPECT_EQ(dlg->Logic().Fields().outputPath.empty(), !accepted);
  }
  EXPECT_EQ(Item<QLineEdit>(IDC_OUTPUT_PATH)->text().toStdString(),
            dir / "drop.txt");
  dlg.reset();  // the pickers go with it, and would write their history
  QCoreApplication::processEvents();
  EXPECT_FALSE(std::filesystem::exists(PathOf(home)));
  const QSettings qtSettings(QSettings::UserScope, "QtProject");
  EXPECT_TRUE(qtSettings.fileName().startsWith("/dev/null/"));
  EXPECT_NE(QFileDialog::tr("Open"), "Open");  // Qt's texts in Bulgarian
}

TEST_F(QtFace, HelpAndAboutHideTheDialogWhichComesBackInPlace) {
  const QPoint place = dlg->pos();
  Click(IDC_HELP_BUTTON);
  auto* help = dlg->findChild<HelpDialog*>();
  ASSERT_NE(help, nullptr);
  EXPECT_FALSE(dlg->isVisible());
  auto* text = help->ControlAs<QLabel>(IDC_HELP_TEXT);
  EXPECT_EQ(format::Utf8ToWindows1251(text->text().toStdString())->size(),
            581U);
  EXPECT_EQ(text->text().count('\n'), 4);
  EXPECT_LE(QFontMetrics(text->font())
                .boundingRect(text->rect(), Qt::TextWordWrap, text->text())
                .height(),
            text->height());
  EXPECT_EQ(help->windowTitle(), "помощ");
  PressKey(help, Qt::Key_Escape);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(dlg->testAttribute(Qt::WA_Moved));  // placed, not left to the WM
  EXPECT_EQ(dlg->pos(), place);

  // Shift+F10 opens the window menu; About is its last entry.
  PressKey(dlg.get(), Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return dlg->WindowMenu()->isVisible(); }));
  const QList<QAction*> actions = dlg->WindowMenu()->actions();
  EXPECT_EQ(actions[0]->text(), "Ми&нимизирай");
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.back()->text(), "&About program...");
  dlg->WindowMenu()->close();
  actions.back()->trigger();
  auto* about = dlg->findChild<AboutDialog*>();
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(about->ControlAs<QLabel>(IDC_ABOUT_NAME)->text(),
            "Име: The program developers");
  about->close();
  EXPECT_TRUE(dlg->isVisible());
  // The README is signed with the same name and address.
  EXPECT_NE(ReadFile(PROGRAM_SOURCE_DIR "/README.md")
                .find("— " + std::string(res::kMaintainerName) + ", <" +
                      std::string(res::kMaintainerEmail) + ">"),
            std::string::npos);
}

}  // namespace
}  // namespace test

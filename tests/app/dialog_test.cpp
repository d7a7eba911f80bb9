// The main dialog idle: its controls, layout, keys, help and About, drops.

#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <fstream>

#include "app/about_dlg.h"
#include "app/help_dlg.h"
#include "app/maintainers.h"
#include "format/windows1251.h"
#include "tests/app/dialog_harness.h"

namespace test {
namespace {

using Controls = DialogTest;

struct Expected {
  int id;
  const char* kind;
  const char* text;
};

TEST_F(Controls, CaptionControlsTextsAndStates) {
  EXPECT_EQ(dlg->windowTitle().toStdString(), "program");
  const Expected expected[] = {
      {IDCANCEL, "QPushButton", "отказ"},
      {IDC_INPUT_LABEL, "QLabel", "входен файл:"},
      {IDC_PROGRESS, "QProgressBar", ""},
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
  // Exactly these controls, in this (template and creation) order.
  std::vector<QWidget*> children;
  for (QObject* child : dlg->children()) {
    if (auto* widget = dynamic_cast<QWidget*>(child);
        widget != nullptr && !widget->isWindow()) {
      children.push_back(widget);
    }
  }
  ASSERT_EQ(children.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].id);
    QWidget* widget = Item(expected[i].id);
    ASSERT_EQ(children[i], widget);
    EXPECT_STREQ(widget->metaObject()->className(), expected[i].kind);
    EXPECT_TRUE(widget->isVisible());
    if (dynamic_cast<QProgressBar*>(widget) == nullptr) {
      const QVariant text = widget->property("text");
      EXPECT_EQ(text.toString().toStdString(), expected[i].text);
    }
    if (auto* button = dynamic_cast<QPushButton*>(widget)) {
      EXPECT_FALSE(button->isDefault());
      EXPECT_FALSE(button->autoDefault());
    }
  }
  EXPECT_FALSE(Box(IDC_INPUT_PATH)->isEnabled());
  EXPECT_FALSE(Box(IDC_OUTPUT_PATH)->isEnabled());
  EXPECT_TRUE(Box(IDC_PASSWORD)->isEnabled());
  EXPECT_EQ(Box(IDC_PASSWORD)->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Box(IDC_PASSWORD)->maxLength(), 20);
  EXPECT_EQ(Bar()->minimum(), 0);
  EXPECT_EQ(Bar()->maximum(), 100);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_TRUE(Button(IDC_START)->isEnabled());
  EXPECT_EQ(dlg->windowIcon().availableSizes().size(), 3);
}

TEST_F(Controls, GeometryInDialogUnitsOfTheFont) {
  // One horizontal unit is a quarter of the average width of the Latin
  // letters, one vertical unit an eighth of the font's height.
  const QFontMetrics metrics(dlg->font());
  const double averageWidth =
      std::round(metrics.horizontalAdvance(
                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
                 52.0);
  const double unitX = averageWidth / 4.0;
  const double unitY = metrics.height() / 8.0;
  const auto near = [](double pixels, double units, double unit) {
    return std::abs(pixels - units * unit) <= 1.0 + units * 0.02;
  };
  EXPECT_TRUE(near(dlg->width(), 226, unitX)) << dlg->width();
  EXPECT_TRUE(near(dlg->height(), 101, unitY)) << dlg->height();
  const QRect bar = Bar()->geometry();
  EXPECT_TRUE(near(bar.x(), 7, unitX) && near(bar.y(), 59, unitY) &&
              near(bar.width(), 212, unitX) && near(bar.height(), 14, unitY));
  const QRect start = Button(IDC_START)->geometry();
  EXPECT_TRUE(near(start.x(), 115, unitX) && near(start.width(), 50, unitX));
  // Rows top to bottom: input, output, password, bar, buttons; and left to
  // right: label, box, picker; help, start, cancel.
  const auto top = [this](int id) { return Item(id)->geometry().top(); };
  const auto left = [this](int id) { return Item(id)->geometry().left(); };
  EXPECT_LT(top(IDC_INPUT_PATH), top(IDC_OUTPUT_PATH));
  EXPECT_LT(top(IDC_OUTPUT_PATH), top(IDC_PASSWORD));
  EXPECT_LT(top(IDC_PASSWORD), top(IDC_PROGRESS));
  EXPECT_LT(top(IDC_PROGRESS), top(IDC_START));
  EXPECT_EQ(top(IDC_START), top(IDCANCEL));
  EXPECT_EQ(top(IDC_HELP_BUTTON), top(IDCANCEL));
  EXPECT_LT(left(IDC_INPUT_LABEL), left(IDC_INPUT_PATH));
  EXPECT_LT(left(IDC_INPUT_PATH), left(IDC_BROWSE_INPUT));
  EXPECT_LT(left(IDC_HELP_BUTTON), left(IDC_START));
  EXPECT_LT(left(IDC_START), left(IDCANCEL));
  // Everything inside the window, the labels wide enough for their texts.
  for (QObject* child : dlg->children()) {
    if (auto* widget = dynamic_cast<QWidget*>(child);
        widget != nullptr && !widget->isWindow()) {
      EXPECT_TRUE(dlg->rect().contains(widget->geometry()));
    }
    if (auto* label = dynamic_cast<QLabel*>(child)) {
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
          << label->text().toStdString();
    }
  }
  // Fixed size, no maximise button.
  EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
  EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(Controls, FocusStartsOnCancelAndTabFollowsTheTemplate) {
  EXPECT_EQ(dlg->focusWidget(), Button(IDCANCEL));
  // The disabled path boxes are skipped.
  const int order[] = {IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT, IDC_PASSWORD,
                       IDC_HELP_BUTTON,  IDC_START,         IDCANCEL};
  for (const int id : order) {
    PressKey(dlg->focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(dlg->focusWidget(), Item(id)) << id;
  }
}

TEST_F(Controls, EnterOnTheFirstFocusEndsTheProgram) {
  PressKey(dlg->focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(dlg->Ended());
  EXPECT_EQ(dlg->Result(), IDCANCEL);
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(Controls, EnterInThePasswordBoxDoesNothing) {
  Box(IDC_PASSWORD)->setFocus();
  TypeText(Box(IDC_PASSWORD), "тайна");
  PressKey(Box(IDC_PASSWORD), Qt::Key_Return);
  PressKey(Box(IDC_PASSWORD), Qt::Key_Enter);
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->Ended());
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->WorkerRunning());
  EXPECT_TRUE(OpenMessageBoxes().empty());
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "тайна");
}

TEST_F(Controls, EscapeEndsTheIdleDialog) {
  PressKey(dlg->focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(dlg->Ended());
  EXPECT_EQ(dlg->Result(), IDCANCEL);
}

TEST_F(Controls, CloseBoxEndsTheIdleDialog) {
  dlg->close();
  EXPECT_TRUE(dlg->Ended());
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(Controls, PasswordBoxTakesTwentyWindows1251Characters) {
  TypeText(Box(IDC_PASSWORD), "абвгдежзийклмнопрстуфхцч");  // 24
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "абвгдежзийклмнопрсту");
  SetPassword("a中€b😀c");  // "€" is in Windows-1251, the others are not
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "a€bc");
}

TEST_F(Controls, PickSetsTextAndPathAndResetsThePassword) {
  Pick(IDC_BROWSE_INPUT, dir / "in.txt");
  Pick(IDC_BROWSE_OUTPUT, dir / "out");
  EXPECT_EQ(Box(IDC_INPUT_PATH)->text().toStdString(), dir / "in.txt");
  EXPECT_EQ(dlg->m_inputPathBuffer, dir / "in.txt");
  EXPECT_EQ(Box(IDC_OUTPUT_PATH)->text().toStdString(), dir / "out");
  EXPECT_EQ(dlg->m_outputPathBuffer, dir / "out");
  // A cancelled pick changes no path but still refreshes the boxes: the
  // password typed since the last start (none) is gone.
  SetPassword("typed");
  Pick(IDC_BROWSE_OUTPUT, "");
  EXPECT_EQ(dlg->m_outputPath, dir / "out");
  EXPECT_EQ(Box(IDC_OUTPUT_PATH)->text().toStdString(), dir / "out");
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "");
}

TEST_F(Controls, FileDroppedOnAPathBoxIsPicked) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "drop.txt"))});
  const QPoint onOutput = Item(IDC_OUTPUT_PATH)->geometry().center();
  // Straight to the dialog: Qt delivers drops only during a real drag.
  QObject* receiver = dlg.get();
  QDragMoveEvent move(onOutput, Qt::CopyAction, &data, Qt::LeftButton,
                      Qt::NoModifier);
  receiver->event(&move);
  EXPECT_TRUE(move.isAccepted());
  QDropEvent drop(onOutput, Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  receiver->event(&drop);
  EXPECT_EQ(dlg->m_outputPath, dir / "drop.txt");
  EXPECT_EQ(dlg->m_outputPathBuffer, dir / "drop.txt");
  EXPECT_EQ(Box(IDC_OUTPUT_PATH)->text().toStdString(), dir / "drop.txt");
  EXPECT_EQ(dlg->m_inputPath, "");
  // Dropped elsewhere, nothing changes.
  QDragMoveEvent moveElsewhere(Bar()->geometry().center(), Qt::CopyAction,
                               &data, Qt::LeftButton, Qt::NoModifier);
  receiver->event(&moveElsewhere);
  EXPECT_FALSE(moveElsewhere.isAccepted());
  QDropEvent elsewhere(Bar()->geometry().center(), Qt::CopyAction, &data,
                       Qt::LeftButton, Qt::NoModifier);
  receiver->event(&elsewhere);
  EXPECT_EQ(dlg->m_inputPath, "");
}

// The help text, as the help dialog is to show it.
constexpr const char* kExpectedHelp[] = {
    "входен файл - трябва да избереш файл. Ако избраният файл е с разширение "
    ".crypt - това означава, че искаш да го декриптираш. Ако избраният файл "
    "е с друго разширение - това означава, че искаш да го криптираш.",
    "Изходен фрайл - трябва да избереш къде да запазиш съответния изходен "
    "файл.",
    "Парола - в това поле трябва да въведеш парола с поне един и най-много "
    "шестнадесет символа.",
    "Бутон добре - за започване на криптиране / декриптиране на избран "
    "входен файл.",
    "Бутон отказ - ако го натиснеш в процес на криптиране / декриптиране - "
    "ще спреш съответния процес, иначе ще излезеш от програмата.",
};

template <class Dialog>
Dialog* OpenDialogOf() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = dynamic_cast<Dialog*>(widget);
        dialog != nullptr && dialog->isVisible()) {
      return dialog;
    }
  }
  return nullptr;
}

TEST(HelpAndAbout, HelpTextExactly) {
  std::string expected;
  for (const char* line : kExpectedHelp) {
    expected += expected.empty() ? "" : "\n";
    expected += line;
  }
  app::dlg_1 help;
  help.Create();
  const auto* label = dynamic_cast<QLabel*>(help.GetDlgItem(IDC_HELP_TEXT));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().toStdString(), expected);
  EXPECT_EQ(format::Utf8ToWindows1251(expected).value_or("").size(), 581U);
  EXPECT_TRUE(label->wordWrap());
  EXPECT_EQ(help.windowTitle().toStdString(), "помощ");
  // The five paragraphs fit the static's rectangle.
  const QRect needed =
      QFontMetrics(label->font())
          .boundingRect(label->rect(), Qt::TextWordWrap, label->text());
  EXPECT_LE(needed.height(), label->height());
}

TEST(HelpAndAbout, AboutNamesTheReadmesSignatory) {
  app::CAboutDlg about;
  about.Create();
  const auto text = [&about](int id) {
    return dynamic_cast<QLabel*>(about.GetDlgItem(id))->text().toStdString();
  };
  EXPECT_EQ(text(IDC_ABOUT_NAME), "Име: The program developers");
  EXPECT_EQ(text(IDC_ABOUT_EMAIL), "Електронна поща: program-dev@example.org");
  EXPECT_EQ(about.windowTitle().toStdString(), "about program");
  for (const int id : {IDC_ABOUT_NAME, IDC_ABOUT_EMAIL}) {
    const auto* label = dynamic_cast<QLabel*>(about.GetDlgItem(id));
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
              label->width());
  }
  // The README is signed with the same name and address.
  std::ifstream readme(PROGRAM_SOURCE_DIR "/README.md");
  const std::string content{std::istreambuf_iterator<char>(readme), {}};
  const std::string signature = "— " + std::string(app::kMaintainerName) +
                                ", <" + std::string(app::kMaintainerEmail) +
                                ">";
  EXPECT_NE(content.find(signature), std::string::npos);
}

using HelpAndAboutFromTheDialog = DialogTest;

TEST_F(HelpAndAboutFromTheDialog, HelpHidesTheDialogUntilItCloses) {
  for (int run = 0; run < 2; ++run) {  // the same text each time
    bool checked = false;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(WaitFor([] { return OpenDialogOf<app::dlg_1>(); }));
      app::dlg_1* help = OpenDialogOf<app::dlg_1>();
      EXPECT_FALSE(dlg->isVisible());
      EXPECT_EQ(dynamic_cast<QLabel*>(help->GetDlgItem(IDC_HELP_TEXT))
                    ->text()
                    .count('\n'),
                4);
      checked = true;
      PressKey(help, Qt::Key_Escape);
    });
    Button(IDC_HELP_BUTTON)->click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->Ended());
    EXPECT_EQ(OpenDialogOf<app::dlg_1>(), nullptr);
  }
}

TEST_F(HelpAndAboutFromTheDialog, AboutIsTheLastEntryOfTheWindowMenu) {
  QMenu* menu = dlg->SystemMenu();
  ASSERT_NE(menu, nullptr);
  const QList<QAction*> actions = menu->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.back()->text().toStdString(), "&About program...");
  bool checked = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(WaitFor([] { return OpenDialogOf<app::CAboutDlg>(); }));
    EXPECT_FALSE(dlg->isVisible());
    checked = true;
    OpenDialogOf<app::CAboutDlg>()->close();
  });
  actions.back()->trigger();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->Ended());
}

}  // namespace
}  // namespace test

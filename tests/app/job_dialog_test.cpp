// Jobs started from the main dialog: real files, a real worker thread, the
// final message box found and closed as a user would.

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/help_dlg.h"
#include "tests/app/dialog_harness.h"

namespace test {
namespace {

using JobDialog = DialogTest;

// Long enough that a job is still running when the bar first moves: the
// worker waits for the dialog at every step of the bar, and 1% of it is
// far more work than the few round trips one event pass can make.
constexpr std::size_t kLargeSize = std::size_t{32} << 20;

TEST_F(JobDialog, StartWithNothingPicked) {
  Button(IDC_START)->click();
  QMessageBox* box = WaitForMessage();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), "трябва да избереш входен файл");
  EXPECT_EQ(box->windowTitle().toStdString(), "трябва да избереш входен файл");
  EXPECT_EQ(box->buttons().size(), 1);
  EXPECT_NE(box->button(QMessageBox::Ok), nullptr);
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->parentWidget(), nullptr);
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  // Until it is closed the job is not over.
  EXPECT_FALSE(Button(IDC_START)->isEnabled());
  EXPECT_EQ(dlg->m_running.load(), 1);
  EXPECT_EQ(Bar()->value(), 0);
  CloseMessage(box);
  EXPECT_TRUE(Button(IDC_START)->isEnabled());
  EXPECT_EQ(dlg->m_running.load(), 0);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_FALSE(dlg->Ended());
}

TEST_F(JobDialog, EncryptsAndDecryptsThroughThePickers) {
  const std::string plain = PatternBytes(40000, 7);
  WriteFile(dir / "report.txt", plain);
  Pick(IDC_BROWSE_INPUT, dir / "report.txt");
  Pick(IDC_BROWSE_OUTPUT, dir / "secret");
  SetPassword("ключ42");
  EXPECT_EQ(RunToMessage(), "готово");
  const std::string container = ReadFile(dir / "secret.crypt");
  ASSERT_GE(container.size(), 4U);
  EXPECT_EQ(container[0], 6);  // six Windows-1251 bytes of password
  EXPECT_EQ(container.size(), 4 + 2 * 6 + 4 + 3 + 4 + plain.size());
  // The box keeps the name without the suffix; the fields got it back.
  EXPECT_EQ(Box(IDC_OUTPUT_PATH)->text().toStdString(), dir / "secret");
  EXPECT_EQ(dlg->m_outputPathBuffer, dir / "secret.crypt");
  EXPECT_EQ(dlg->m_outputPath, dir / "secret.crypt");
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_TRUE(Button(IDC_START)->isEnabled());

  // The pick refreshes the password box with the password of the start.
  Pick(IDC_BROWSE_INPUT, dir / "secret.crypt");
  Pick(IDC_BROWSE_OUTPUT, dir / "back");
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "ключ42");
  EXPECT_EQ(RunToMessage(), "готово");
  EXPECT_EQ(ReadFile(dir / "back.txt"), plain);

  SetPassword("ключ43");
  EXPECT_EQ(RunToMessage(), "грешна парола");
}

TEST_F(JobDialog, CancelDuringALargeJob) {
  WriteFile(dir / "big.bin", PatternBytes(kLargeSize));
  Pick(IDC_BROWSE_INPUT, dir / "big.bin");
  Pick(IDC_BROWSE_OUTPUT, dir / "big-out");
  SetPassword("pass");
  Button(IDC_START)->click();
  WaitForProgress();
  EXPECT_FALSE(Button(IDC_START)->isEnabled());
  dlg->OnStart();  // a start while a job runs does nothing
  Button(IDCANCEL)->click();
  EXPECT_FALSE(dlg->Ended());
  QMessageBox* box = WaitForMessage();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), "отказан процес");
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.bin"});
  EXPECT_FALSE(Button(IDC_START)->isEnabled());
  CloseMessage(box);
  EXPECT_TRUE(Button(IDC_START)->isEnabled());
  EXPECT_EQ(dlg->m_running.load(), 0);
  EXPECT_TRUE(OpenMessageBoxes().empty());
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(JobDialog, EscapeAndCloseBoxCancelARunningJob) {
  WriteFile(dir / "big.bin", PatternBytes(kLargeSize));
  Pick(IDC_BROWSE_INPUT, dir / "big.bin");
  Pick(IDC_BROWSE_OUTPUT, dir / "out");
  for (const bool escape : {true, false}) {
    SetPassword("pass");
    Button(IDC_START)->click();
    WaitForProgress();
    if (escape) {
      PressKey(dlg->focusWidget(), Qt::Key_Escape);
    } else {
      dlg->close();
    }
    EXPECT_FALSE(dlg->Ended());
    EXPECT_TRUE(dlg->isVisible());
    QMessageBox* box = WaitForMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "отказан процес");
    CloseMessage(box);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.bin"});
  }
  PressKey(dlg->focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(dlg->Ended());
}

TEST_F(JobDialog, CancelWhileTheFinalBoxIsOpen) {
  // Once: the job ends as it was going to and the dialog stays.
  Button(IDC_START)->click();
  QMessageBox* box = WaitForMessage();
  Button(IDCANCEL)->click();
  EXPECT_EQ(dlg->m_running.load(), 0);
  EXPECT_TRUE(dlg->isVisible());
  CloseMessage(box);
  EXPECT_FALSE(dlg->Ended());
  EXPECT_TRUE(Button(IDC_START)->isEnabled());

  // Twice: the dialog closes as soon as the worker has ended, not before.
  Button(IDC_START)->click();
  box = WaitForMessage();
  Button(IDCANCEL)->click();
  Button(IDCANCEL)->click();
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->Ended());
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(dlg->WorkerRunning());
  CloseMessage(box);
  EXPECT_TRUE(WaitFor([this] { return dlg->Ended(); }));
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(JobDialog, PickDuringAJobLeavesTheJobAlone) {
  const std::string plain = PatternBytes(400000, 3);
  WriteFile(dir / "data.bin", plain);
  Pick(IDC_BROWSE_INPUT, dir / "data.bin");
  Pick(IDC_BROWSE_OUTPUT, dir / "first");
  SetPassword("pass");
  Button(IDC_START)->click();
  WaitForProgress();
  Pick(IDC_BROWSE_OUTPUT, dir / "second");
  Pick(IDC_BROWSE_INPUT, dir / "missing");
  EXPECT_EQ(Box(IDC_OUTPUT_PATH)->text().toStdString(), dir / "second");
  EXPECT_EQ(Box(IDC_PASSWORD)->text().toStdString(), "pass");
  QMessageBox* box = WaitForMessage();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), "готово");
  CloseMessage(box);
  // The job wrote the names it started with; the picks stand.
  EXPECT_EQ(ReadFile(dir / "first.crypt").size(),
            4 + 2 * 4 + 4 + 3 + 4 + plain.size());
  EXPECT_EQ(dlg->m_outputPath, dir / "second");
  EXPECT_EQ(dlg->m_outputPathBuffer, dir / "second");
  EXPECT_EQ(dlg->m_inputPathBuffer, dir / "missing");
  EXPECT_EQ(RunToMessage(), "входният файл не съществува");
}

TEST_F(JobDialog, PasswordsOf17To20AreRefusedByTheJob) {
  WriteFile(dir / "small.txt", "abc");
  Pick(IDC_BROWSE_INPUT, dir / "small.txt");
  Pick(IDC_BROWSE_OUTPUT, dir / "small-out");
  const QString letters = "абвгдежзийклмнопрсту";
  const std::string refused =
      "дължината на паролата трябва да бъде поне един и най-много "
      "шестнадесет символа";
  for (const int length : {0, 17, 18, 19, 20}) {
    SetPassword(letters.left(length));
    EXPECT_EQ(RunToMessage(), refused) << length;
  }
  SetPassword(letters.left(16));
  EXPECT_EQ(RunToMessage(), "готово");
  EXPECT_EQ(ReadFile(dir / "small-out.crypt").substr(0, 4),
            std::string("\x10\0\0\0", 4));
}

TEST_F(JobDialog, HelpAndAboutDuringAJobHideTheDialogAndTheJobGoesOn) {
  // The job must outlast two dialogs: a sparse gigabyte, cancelled at the
  // end long before it is through.
  { std::ofstream create(dir / "big.bin", std::ios::binary); }
  std::filesystem::resize_file(dir / "big.bin", std::uintmax_t{1} << 30);
  Pick(IDC_BROWSE_INPUT, dir / "big.bin");
  Pick(IDC_BROWSE_OUTPUT, dir / "out");
  SetPassword("pass");
  Button(IDC_START)->click();
  WaitForProgress();
  for (const bool help : {true, false}) {
    bool checked = false;
    QTimer::singleShot(0, [&] {
      EXPECT_FALSE(dlg->isVisible());
      const int before = Bar()->value();
      EXPECT_TRUE(WaitFor([&] { return Bar()->value() > before; }));
      checked = true;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* small = dynamic_cast<app::CDialog*>(widget);
            small != nullptr && small != dlg.get() && small->isVisible()) {
          PressKey(small, Qt::Key_Escape);
        }
      }
    });
    if (help) {
      Button(IDC_HELP_BUTTON)->click();
    } else {
      dlg->SystemMenu()->actions().back()->trigger();
    }
    EXPECT_TRUE(checked);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->WorkerRunning());
  }
  Button(IDCANCEL)->click();
  CloseMessage(WaitForMessage());
}

TEST_F(JobDialog, DestroyedUnderARunningJobLeavesNothing) {
  WriteFile(dir / "big.bin", PatternBytes(kLargeSize));
  Pick(IDC_BROWSE_INPUT, dir / "big.bin");
  Pick(IDC_BROWSE_OUTPUT, dir / "out");
  SetPassword("pass");
  Button(IDC_START)->click();
  WaitForProgress();
  dlg.reset();
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.bin"});
}

}  // namespace
}  // namespace test

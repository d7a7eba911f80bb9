#pragma once

// The main dialog under test: shown without a modal loop, with pickers that
// return what the test says, and helpers to type, press keys and wait.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <functional>
#include <memory>
#include <string>

#include "app/program_dlg.h"
#include "res/resource.h"
#include "tests/support/test_files.h"

namespace test {

// Handles events until `done` holds; false if it did not within the time.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 120000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

inline void PressKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// Types each character as a key press that carries it as text.
inline void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                    QString(c));
    QApplication::sendEvent(widget, &press);
  }
}

// The visible top-level message boxes.
inline std::vector<QMessageBox*> OpenMessageBoxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = dynamic_cast<QMessageBox*>(widget);
        box != nullptr && box->isVisible()) {
      boxes.push_back(box);
    }
  }
  return boxes;
}

class DialogTest : public testing::Test {
 protected:
  void SetUp() override {
    dlg = std::make_unique<app::CprogramDlg>();
    dlg->m_openPicker = [this] { return openPick; };
    dlg->m_savePicker = [this] { return savePick; };
    dlg->Create();
    dlg->activateWindow();
  }

  void TearDown() override {
    for (QMessageBox* box : OpenMessageBoxes()) {
      box->close();
    }
    dlg.reset();
    QCoreApplication::processEvents();
  }

  template <class Widget = QWidget>
  Widget* Item(int id) const {
    return dynamic_cast<Widget*>(dlg->GetDlgItem(id));
  }
  QProgressBar* Bar() const { return Item<QProgressBar>(IDC_PROGRESS); }
  QPushButton* Button(int id) const { return Item<QPushButton>(id); }
  QLineEdit* Box(int id) const { return Item<QLineEdit>(id); }

  void Pick(int button, const std::string& path) {
    (button == IDC_BROWSE_INPUT ? openPick : savePick) =
        QString::fromStdString(path);
    Button(button)->click();
  }
  void SetPassword(const QString& password) {
    Box(IDC_PASSWORD)->clear();
    TypeText(Box(IDC_PASSWORD), password);
  }

  // The one final message box, once it is open.
  QMessageBox* WaitForMessage() {
    EXPECT_TRUE(WaitFor([] { return !OpenMessageBoxes().empty(); }));
    const std::vector<QMessageBox*> boxes = OpenMessageBoxes();
    EXPECT_EQ(boxes.size(), 1U);
    return boxes.empty() ? nullptr : boxes.front();
  }
  // Closes it with its OK button, and waits for the worker to end.
  void CloseMessage(QMessageBox* box) {
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(WaitFor([this] { return !dlg->WorkerRunning(); }));
  }
  // Starts a job and returns the text of its final message, closed.
  std::string RunToMessage() {
    Button(IDC_START)->click();
    QMessageBox* box = WaitForMessage();
    const std::string text = box != nullptr ? box->text().toStdString() : "";
    CloseMessage(box);
    return text;
  }
  // Waits until the running job has moved the bar.
  void WaitForProgress() {
    ASSERT_TRUE(WaitFor([this] { return Bar()->value() > 0; }));
  }

  TempDir dir;
  QString openPick, savePick;
  std::unique_ptr<app::CprogramDlg> dlg;
};

}  // namespace test

#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <memory>
#include <optional>

#include "app/qt/template_dialog.h"
#include "dialog/main_dialog_logic.h"
#include "dialog/main_dialog_view.h"

class QMenu;

// The main dialog on Qt: the controls of its template, wired to the
// dialog's logic, which it serves as its view.
class MainDialog final : public TemplateDialog, public dialog::MainDialogView {
  Q_OBJECT

 public:
  explicit MainDialog(QWidget* parent = nullptr);
  ~MainDialog() override;

  [[nodiscard]] const dialog::MainDialogLogic& Logic() const { return *logic_; }
  // The window menu: minimise, close, a separator and the About entry.
  [[nodiscard]] QMenu* WindowMenu() const { return windowMenu_; }
  [[nodiscard]] QMessageBox* FinalMessage() const { return finalMessage_; }
  [[nodiscard]] QFileDialog* Picker(dialog::PathBox box) const;

  // The view.
  void ShowTexts(const dialog::BoxTexts& texts) override;
  [[nodiscard]] dialog::BoxTexts ReadTexts() const override;
  void EnableStart(bool enabled) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;
  void ShowFinalMessage(std::string_view text) override;
  void OpenPicker(dialog::PathBox box) override;
  void OpenHelp() override;
  void OpenAbout() override;
  void SetVisible(bool visible) override;
  void Close() override;
  void RequestPendingCalls() override;

  // The cancel command: the cancel button, Esc and the close box.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  Q_INVOKABLE void RunPendingCalls();
  void BuildWindowMenu();
  void OpenSideDialog(TemplateDialog* sideDialog);
  [[nodiscard]] std::optional<dialog::PathBox> PathBoxAt(
      const QPoint& point) const;

  QMenu* windowMenu_ = nullptr;
  QPointer<QMessageBox> finalMessage_;
  QPointer<QFileDialog> pickers_[2];
  QPoint placeBeforeHiding_;
  bool shownBefore_ = false;
  std::unique_ptr<dialog::MainDialogLogic> logic_;
};

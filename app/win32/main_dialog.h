#pragma once

// The main dialog as a Win32 dialog: built from the layout data, it passes
// the user's commands to the dialog logic and carries out what the logic
// asks of its view. What the dialog does lives in the logic.

#include <windows.h>

#include <string>

#include "dialog/main_dialog_logic.h"
#include "dialog/main_dialog_view.h"

namespace win32 {

class MainDialog final : public dialog::MainDialogView {
 public:
  MainDialog();
  ~MainDialog() override;

  // Shows the dialog and returns once it has been closed.
  void Run();

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

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(int id, int code);
  void OnDropFiles(HDROP drop);
  void KeepPasswordInCodePage();
  [[nodiscard]] std::wstring ControlText(int id) const;

  HWND window_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  // The password box's last text that Windows-1251 can hold.
  std::wstring acceptedPassword_;
  // Last: it ends first, waiting for a running worker, whose calls still
  // reach this view.
  dialog::MainDialogLogic logic_{*this};
};

}  // namespace win32

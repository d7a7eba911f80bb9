#pragma once

// What a window system supplies to the main dialog's logic: the controls
// it shows, the small dialogs, the pickers, and a way back onto the
// dialog's own thread.

#include <string>
#include <string_view>

namespace dialog {

// The two path boxes, each with its picker.
enum class PathBox { kInput, kOutput };

// The texts of the three boxes. All UTF-8.
struct BoxTexts {
  std::string input;
  std::string output;
  std::string password;
};

// A picked file: the text its box shows, and the platform's own name for
// it, the one a job opens or creates.
struct PickedFile {
  std::string text;
  std::string path;
};

// Every call comes on the dialog's thread, except RequestPendingCalls.
class MainDialogView {
 public:
  MainDialogView() = default;
  MainDialogView(const MainDialogView&) = delete;
  MainDialogView& operator=(const MainDialogView&) = delete;
  virtual ~MainDialogView() = default;

  virtual void ShowTexts(const BoxTexts& texts) = 0;
  [[nodiscard]] virtual BoxTexts ReadTexts() const = 0;
  virtual void EnableStart(bool enabled) = 0;
  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;

  // Shows a job's final message, its text also its caption, with one OK
  // button, and returns at once; the dialog stays usable meanwhile. Once
  // the user has closed it, the view calls
  // MainDialogLogic::OnFinalMessageClosed.
  virtual void ShowFinalMessage(std::string_view text) = 0;

  // Opens the open (kInput) or save (kOutput) picker and returns at once;
  // the dialog stays usable. The view reports its end with
  // MainDialogLogic::OnPickEnded, also when the user cancelled it.
  virtual void OpenPicker(PathBox box) = 0;

  // Opens the help or the About dialog; the view calls
  // MainDialogLogic::OnSideDialogClosed once it has closed (before
  // returning, if it runs the dialog modally).
  virtual void OpenHelp() = 0;
  virtual void OpenAbout() = 0;

  virtual void SetVisible(bool visible) = 0;
  // Ends the dialog and with it the program.
  virtual void Close() = 0;

  // From any thread: soon, on the dialog's thread, call
  // MainDialogLogic::RunPendingCalls. A worker waits for its calls there,
  // as for synchronous window messages.
  virtual void RequestPendingCalls() = 0;
};

}  // namespace dialog

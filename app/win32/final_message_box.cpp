#include "app/win32/final_message_box.h"

#include <system_error>
#include <thread>

#include "app/win32/thread_messages.h"

namespace win32 {

namespace {

// The owner of the box that this thread shows.
thread_local HWND boxOwner = nullptr;

// A message box disables its owner before it appears, as every modal dialog
// does. Once the box is up, the owner is enabled again: the box still stays
// above it, and the box enables it once more as it closes, which does no
// harm.
LRESULT CALLBACK EnableOwnerOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && boxOwner != nullptr) {
    EnableWindow(boxOwner, TRUE);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool StartFinalMessageBox(HWND owner, std::wstring text) {
  try {
    std::thread([owner, text = std::move(text)] {
      boxOwner = owner;
      HHOOK hook = SetWindowsHookExW(WH_CBT, EnableOwnerOnActivate, nullptr,
                                     GetCurrentThreadId());
      // The message is the box's text and its caption; one button, no icon.
      MessageBoxW(owner, text.c_str(), text.c_str(), MB_OK);
      if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
      }
      PostMessageW(owner, kMessageBoxClosedMessage, 0, 0);
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace win32

#pragma once

// Messages that other threads post to the main dialog. Those that carry a
// heap object hand it over to the dialog (see TakePosted).

#include <windows.h>

#include <memory>

namespace win32 {

// A file picker has closed: wParam the picker's kind, lParam the result.
inline constexpr UINT kFilePickedMessage = WM_APP + 1;
// The final message box has closed.
inline constexpr UINT kMessageBoxClosedMessage = WM_APP + 2;
// The dialog logic has calls waiting for the dialog's thread.
inline constexpr UINT kPendingCallsMessage = WM_APP + 3;

// Posts `message` with `object` as lParam; the object is freed here when the
// window is gone and the message cannot be posted.
template <typename T>
void PostOwned(HWND window, UINT message, WPARAM wParam,
               std::unique_ptr<T> object) {
  if (PostMessageW(window, message, wParam,
                   reinterpret_cast<LPARAM>(object.get())) != FALSE) {
    static_cast<void>(object.release());
  }
}

// The object that PostOwned sent.
template <typename T>
std::unique_ptr<T> TakePosted(LPARAM lParam) {
  return std::unique_ptr<T>(reinterpret_cast<T*>(lParam));
}

}  // namespace win32

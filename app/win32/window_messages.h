#pragma once

// The pointers that window messages carry, and the messages that other
// threads post to the main dialog; those that carry a heap object hand it
// over to the dialog (see TakePosted).

#include <windows.h>

#include <cstdint>
#include <memory>

namespace win32 {

// Window messages carry pointers and handles in their integer parameters.
template <typename T>
T FromMessageParam(std::intptr_t value) {
  return reinterpret_cast<T>(value);  // NOLINT(performance-no-int-to-ptr)
}

// A file picker has closed: wParam the picker's kind, lParam the result.
inline constexpr UINT kFilePickedMessage = WM_APP + 1;
// The final message box has closed.
inline constexpr UINT kMessageBoxClosedMessage = WM_APP + 2;
// The dialog logic has calls waiting for the dialog's thread.
inline constexpr UINT kPendingCallsMessage = WM_APP + 3;

// Posts `message` with `object` as lParam; the object is freed here when the
// window is gone and the message cannot be posted. (The analyser cannot
// see the receiver take it over.)
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
template <typename T>
void PostOwned(HWND window, UINT message, WPARAM wParam,
               std::unique_ptr<T> object) {
  if (PostMessageW(window, message, wParam,
                   reinterpret_cast<LPARAM>(object.get())) != FALSE) {
    static_cast<void>(object.release());  // the receiver owns it now
  }
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

// The object that PostOwned sent.
template <typename T>
std::unique_ptr<T> TakePosted(LPARAM lParam) {
  return std::unique_ptr<T>(FromMessageParam<T*>(lParam));
}

}  // namespace win32

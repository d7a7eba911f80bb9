#include "app/win32/final_message_box.h"

#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/win32/window_messages.h"

namespace win32 {

namespace {

// The box that this thread shows, and its owner.
thread_local HWND shownBox = nullptr;
thread_local HWND shownBoxOwner = nullptr;

// The box is sized for its text alone; the caption, which is the same
// text in the caption's bolder font beside the icon and the caption's
// buttons, would be cut short. Widens the box to fit it, keeping the box and
// its contents centred.
void FitCaption(HWND box) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics,
                            0) == FALSE) {
    return;
  }
  std::wstring caption(GetWindowTextLengthW(box) + 1, L'\0');
  caption.resize(
      GetWindowTextW(box, caption.data(), static_cast<int>(caption.size())));
  HDC screen = GetDC(nullptr);
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HGDIOBJ previous = SelectObject(screen, font);
  SIZE text{};
  GetTextExtentPoint32W(screen, caption.c_str(),
                        static_cast<int>(caption.size()), &text);
  SelectObject(screen, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  // The icon, the minimise, maximise and close buttons, the frame, and as
  // much again for the space around them.
  const int needed = text.cx + 2 * (GetSystemMetrics(SM_CXSMICON) +
                                    3 * GetSystemMetrics(SM_CXSIZE) +
                                    2 * GetSystemMetrics(SM_CXDLGFRAME));
  RECT frame{};
  GetWindowRect(box, &frame);
  const int growth = needed - (frame.right - frame.left);
  if (growth <= 0) {
    return;
  }
  std::vector<HWND> children;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM list) {
        FromMessageParam<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  SetWindowPos(box, nullptr, frame.left - growth / 2, frame.top,
               frame.right - frame.left + growth, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND child : children) {
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
    SetWindowPos(child, nullptr, place.left + growth / 2, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RedrawWindow(box, nullptr, nullptr,
               RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// Once the box runs its own message loop: a message box disables its owner
// before that, as every modal dialog does; the owner is enabled again, so
// that the dialog stays usable while the box, which it owns, stays above it.
// The box enables it once more as it closes, which does no harm. The box
// also takes the program's icon and a width that shows its whole caption.
void PrepareBox(HWND /*window*/, UINT /*message*/, UINT_PTR timer,
                DWORD /*time*/) {
  KillTimer(nullptr, timer);
  EnableWindow(shownBoxOwner, TRUE);
  SendMessageW(shownBox, WM_SETICON, ICON_SMALL,
               SendMessageW(shownBoxOwner, WM_GETICON, ICON_SMALL, 0));
  FitCaption(shownBox);
}

// The box is the window this thread creates with the dialog as its owner.
LRESULT CALLBACK NoteBoxCreated(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && shownBox == nullptr &&
      FromMessageParam<const CBT_CREATEWNDW*>(lParam)->lpcs->hwndParent ==
          shownBoxOwner) {
    shownBox = FromMessageParam<HWND>(static_cast<std::intptr_t>(wParam));
    SetTimer(nullptr, 0, 0, PrepareBox);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool StartFinalMessageBox(HWND owner, std::wstring text) {
  try {
    std::thread([owner, text = std::move(text)] {
      shownBoxOwner = owner;
      HHOOK hook = SetWindowsHookExW(WH_CBT, NoteBoxCreated, nullptr,
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

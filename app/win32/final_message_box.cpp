#include "app/win32/final_message_box.h"

#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/win32/thread_messages.h"

namespace win32 {

namespace {

// The owner of the box that this thread shows.
thread_local HWND boxOwner = nullptr;
thread_local HWND boxToFit = nullptr;

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
  const HDC screen = GetDC(nullptr);
  const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  const HGDIOBJ previous = SelectObject(screen, font);
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
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
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

// A message box disables its owner before it appears, as every modal dialog
// does. Once the box is up, the owner is enabled again: the box still stays
// above it, and the box enables it once more as it closes, which does no
// harm. The box also takes the program's icon and a width that shows its
// whole caption.
LRESULT CALLBACK PrepareBoxOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && boxOwner != nullptr) {
    const auto box = reinterpret_cast<HWND>(wParam);
    EnableWindow(boxOwner, TRUE);
    SendMessageW(box, WM_SETICON, ICON_SMALL,
                 SendMessageW(boxOwner, WM_GETICON, ICON_SMALL, 0));
    // Once the box has laid itself out and shown.
    boxToFit = box;
    SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR timer, DWORD) {
      KillTimer(nullptr, timer);
      FitCaption(boxToFit);
    });
    boxOwner = nullptr;  // once
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool StartFinalMessageBox(HWND owner, std::wstring text) {
  try {
    std::thread([owner, text = std::move(text)] {
      boxOwner = owner;
      HHOOK hook = SetWindowsHookExW(WH_CBT, PrepareBoxOnActivate, nullptr,
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

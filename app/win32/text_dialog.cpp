#include "app/win32/text_dialog.h"

#include "app/win32/dialog_template.h"
#include "app/win32/wide_text.h"
#include "app/win32/window_messages.h"

namespace win32 {

namespace {

struct TextDialogSetup {
  std::span<const ControlText> texts;
  HICON icon;
};

INT_PTR CALLBACK TextDialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto& setup = *FromMessageParam<const TextDialogSetup*>(lParam);
      for (const ControlText& control : setup.texts) {
        SetDlgItemTextW(dialog, control.id, Wide(control.text).c_str());
      }
      if (setup.icon != nullptr) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(setup.icon));
        SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(setup.icon));
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowTextDialog(const res::DialogTemplate& dialog,
                    std::span<const ControlText> texts, HICON icon) {
  const DialogTemplateBytes bytes(dialog);
  TextDialogSetup setup{texts, icon};
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), bytes.Get(), nullptr,
                          TextDialogProcedure,
                          reinterpret_cast<LPARAM>(&setup));
}

}  // namespace win32

#pragma once

// The help and About dialogs: a template's static texts filled in, shown
// modally with no owner. Esc, Enter and the close box close it.

#include <windows.h>

#include <span>
#include <string_view>

#include "res/dialog_templates.h"

namespace win32 {

struct ControlText {
  int id;
  std::string_view text;  // UTF-8
};

void ShowTextDialog(const res::DialogTemplate& dialog,
                    std::span<const ControlText> texts, HICON icon);

}  // namespace win32

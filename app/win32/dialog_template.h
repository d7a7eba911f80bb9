#pragma once

// The dialogs' layout as the window system's own in-memory dialog template
// (the extended form), built from the template data in res/, so that Windows
// lays the controls out in its dialog units exactly as the data says.

#include <windows.h>

#include <vector>

#include "res/dialog_templates.h"

namespace win32 {

// The template's bytes, DWORD-aligned as the dialog functions require.
class DialogTemplateBytes {
 public:
  explicit DialogTemplateBytes(const res::DialogTemplate& dialog);

  [[nodiscard]] const DLGTEMPLATE* Get() const {
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
  }

 private:
  std::vector<DWORD> words_;
};

// The window styles and extended styles that the data's style bits name.
struct WindowStyles {
  DWORD style;
  DWORD extendedStyle;
};
WindowStyles DialogStyles(std::uint32_t styles);
WindowStyles ControlStyles(res::ControlKind kind, std::uint32_t styles);

}  // namespace win32

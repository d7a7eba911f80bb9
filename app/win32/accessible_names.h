#pragma once

// Screen readers name an edit box after the static text just before it in
// the window order. The main dialog's order is also its tab order, which
// puts the output label, not the input label, before the input box; the
// boxes are named after their own labels here instead.

#include <windows.h>

namespace win32 {

// Needs COM on the calling thread; without it the boxes keep the names the
// system guesses.
void NameBoxesAfterTheirLabels(HWND dialog);

}  // namespace win32

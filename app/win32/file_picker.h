#pragma once

// The system's open and save dialogs, run on a thread of their own and with
// no owner window, so that the main dialog stays usable (its Cancel above
// all) while one is open. The chosen path, or nothing when the picker was
// cancelled, arrives at the main dialog as kFilePickedMessage.

#include <windows.h>

#include <optional>
#include <string>

namespace win32 {

enum class PickerKind : WPARAM { kOpen, kSave };

using PickedPath = std::optional<std::wstring>;

// Returns at once; false when no thread could be started.
bool StartFilePicker(PickerKind kind, HWND notify);

}  // namespace win32

#pragma once

// The message that ends a job: the system's message box, owned by the main
// dialog so that it stays above it, yet not modal to it, so that the dialog
// stays usable while it is open. It runs on a thread of its own; when it
// has been closed, the dialog receives kMessageBoxClosedMessage.

#include <windows.h>

#include <string>

namespace win32 {

// Returns at once; false when no thread could be started.
bool StartFinalMessageBox(HWND owner, std::wstring text);

}  // namespace win32

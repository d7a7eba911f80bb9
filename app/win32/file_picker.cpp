#include "app/win32/file_picker.h"

#include <commdlg.h>
#include <objbase.h>

#include <array>
#include <memory>
#include <system_error>
#include <thread>

#include "app/win32/window_messages.h"

namespace win32 {

namespace {

PickedPath RunPicker(PickerKind kind) {
  // Windows' classic path limit, which the program keeps everywhere.
  std::array<wchar_t, MAX_PATH> name{};
  OPENFILENAMEW request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = nullptr;  // no owner: the main dialog stays usable
  request.lpstrFile = name.data();
  request.nMaxFile = static_cast<DWORD>(name.size());
  // Every file listed; no prompt before replacing a file, no check that an
  // opened file exists (the job reports that). The process's current folder
  // is left alone: other threads' relative names must not move.
  request.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  const BOOL chosen = kind == PickerKind::kOpen ? GetOpenFileNameW(&request)
                                                : GetSaveFileNameW(&request);
  if (chosen == FALSE || name[0] == L'\0') {
    return std::nullopt;
  }
  return std::wstring(name.data());
}

}  // namespace

bool StartFilePicker(PickerKind kind, HWND notify) {
  try {
    // Nobody waits for the thread: the program may end while a picker is
    // still open, which then goes with the process.
    std::thread([kind, notify] {
      // The pickers show the shell's folders, which need COM.
      const HRESULT com = CoInitializeEx(
          nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
      PostOwned(notify, kFilePickedMessage, static_cast<WPARAM>(kind),
                std::make_unique<PickedPath>(RunPicker(kind)));
      if (SUCCEEDED(com)) {
        CoUninitialize();
      }
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace win32

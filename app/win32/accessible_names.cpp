#include "app/win32/accessible_names.h"

// The accessibility GUIDs are defined here, not imported from a library.
#include <initguid.h>
// After initguid.h, so that its GUIDs are defined.
#include <oleacc.h>

#include <utility>

#include "app/win32/wide_text.h"
#include "res/dialog_texts.h"
#include "res/resource.h"

namespace win32 {

void NameBoxesAfterTheirLabels(HWND dialog) {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr,
                              CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                              reinterpret_cast<void**>(&services)))) {
    return;
  }
  const std::pair<int, std::string_view> names[] = {
      {IDC_INPUT_PATH, res::kInputLabel},
      {IDC_OUTPUT_PATH, res::kOutputLabel},
      {IDC_PASSWORD, res::kPasswordLabel}};
  for (const auto& [box, label] : names) {
    services->SetHwndPropStr(GetDlgItem(dialog, box),
                             static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, Wide(label).c_str());
  }
  services->Release();
}

}  // namespace win32

// The system menu on Windows.

#include <windows.h>

#include <QWidget>

#include "app/system_menu.h"

namespace app {

bool HasNativeSystemMenu() { return true; }

void AppendToNativeSystemMenu(QWidget& window, const QString& text,
                              unsigned commandId) {
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
  if (menu != nullptr && !text.isEmpty()) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, commandId,
                reinterpret_cast<const wchar_t*>(text.utf16()));
  }
}

std::optional<SysCommand> NativeSysCommand(const QByteArray& eventType,
                                           void* message) {
  if (eventType != "windows_generic_MSG") {
    return std::nullopt;
  }
  const auto* msg = static_cast<const MSG*>(message);
  if (msg->message != WM_SYSCOMMAND) {
    return std::nullopt;
  }
  return SysCommand{static_cast<unsigned>(msg->wParam),
                    static_cast<std::intptr_t>(msg->lParam)};
}

}  // namespace app

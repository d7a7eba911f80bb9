// Window systems without a system menu that a program can extend: the
// dialog offers the same entries in its context menu instead.

#include "app/system_menu.h"

namespace app {

bool HasNativeSystemMenu() { return false; }

void AppendToNativeSystemMenu(QWidget& /*window*/, const QString& /*text*/,
                              unsigned /*commandId*/) {}

std::optional<SysCommand> NativeSysCommand(const QByteArray& /*eventType*/,
                                           void* /*message*/) {
  return std::nullopt;
}

}  // namespace app

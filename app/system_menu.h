#pragma once

// The window system's own menu of the dialog, where there is one (Windows).

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace app {

struct SysCommand {
  unsigned id;
  std::intptr_t param;
};

// True where the window system gives every window a system menu that the
// program can extend.
bool HasNativeSystemMenu();

// Appends a separator and then an entry with `text` and `commandId` to the
// window's system menu.
void AppendToNativeSystemMenu(QWidget& window, const QString& text,
                              unsigned commandId);

// The system command a native message carries, if it is one.
std::optional<SysCommand> NativeSysCommand(const QByteArray& eventType,
                                           void* message);

}  // namespace app

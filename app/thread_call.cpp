#include "app/thread_call.h"

#include <utility>

namespace app {

ThreadCall::ThreadCall(std::function<void()> call, QObject* parent)
    : QObject(parent), call_(std::move(call)) {}

void ThreadCall::Post() {
  QMetaObject::invokeMethod(this, "Run", Qt::QueuedConnection);
}

void ThreadCall::Run() { call_(); }

}  // namespace app

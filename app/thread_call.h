#pragma once

#include <QObject>
#include <functional>

namespace app {

// Runs a function on the thread of its parent object whenever Post is
// called, from any thread.
//
// Post goes through Qt's queued invocation by name, so the event that
// carries the call is made and read inside Qt alone: no memory of ours
// passes between the threads unsynchronised. What the call shares with the
// poster it guards itself.
class ThreadCall final : public QObject {
  Q_OBJECT

 public:
  ThreadCall(std::function<void()> call, QObject* parent);
  // From any thread, while the parent lives.
  void Post();

 private:
  std::function<void()> call_;

 private slots:  // NOLINT(readability-redundant-access-specifiers)
  void Run();
};

}  // namespace app

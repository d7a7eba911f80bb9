#pragma once

// A program run as a separate process: its arguments as UTF-8, its standard
// input from a string, its standard output and error caught in files, and
// no terminal of its own unless a test asks for one (Linux).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace test {

// Exit status (128 + signal when killed) and what the program wrote.
struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
  friend bool operator==(const ProcessResult&, const ProcessResult&) = default;
  friend void PrintTo(const ProcessResult& r, std::ostream* os) {
    *os << r.status << ", stdout \"" << r.out << "\", stderr \"" << r.err
        << '"';
  }
};

class Process {
 public:
  // `args` starts with the program. An `interruptible` process can be sent
  // a Signal: on Windows it shares the test's console for that.
  Process(const std::vector<std::string>& args, const std::string& input,
          bool interruptible = false);
  ~Process();  // kills the process if it still runs (not copied: streams_)

  bool Ended();
  // Ends it outright (SIGKILL, TerminateProcess): it exits with kKilled.
  void Kill();
  static constexpr int kKilled = 128 + 9;
  // Sends `signal`; on Windows a user's Ctrl-C whatever `signal` is, and
  // false when the test has no console to press it on.
  bool Signal(int signal);
  ProcessResult Wait();

#ifndef _WIN32
  // On a pseudo-terminal instead, whose screen holds both output streams.
  explicit Process(const std::vector<std::string>& args);
  // Waits for `prompt` on the screen after the earlier ones; types `line`.
  bool Answer(const std::string& prompt, const std::string& line);
  [[nodiscard]] const std::string& Screen() const { return screen_; }
  [[nodiscard]] bool Echoes() const;
#endif

 private:
  TempDir streams_;
  std::intptr_t id_ = -1;  // the process id, or its handle on Windows
  std::optional<int> status_;
#ifndef _WIN32
  bool Reap(int options);  // waitpid's
  bool ReadSome();

  int terminal_ = -1;
  std::string screen_;
  std::size_t found_ = 0;
#endif
};

}  // namespace test

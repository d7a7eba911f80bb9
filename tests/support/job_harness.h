#pragma once

// A job as its callers run it, on real files: the request, the progress it
// reports, and a file layer that fails where a test asks.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jobs/run_job.h"

namespace test {

class RecordingProgress final : public jobs::ProgressSink {
 public:
  void SetRange(int /*minimum*/, int /*maximum*/) override {}
  void SetPosition(int position) override {
    positions.push_back(position);
    if (onPosition) {
      onPosition(position);  // on the job's thread, e.g. to cancel
    }
  }

  std::vector<int> positions;
  std::function<void(int)> onPosition;
};

// The real disk, failing every read from input offset `readFailsAt` on and
// every write from output offset `writeFailsAt` on, the commit or the
// creation of the output, as asked. Keeps every byte written.
class FaultyFiles final : public jobs::JobFiles {
 public:
  std::int64_t readFailsAt = -1;
  std::int64_t writeFailsAt = -1;
  bool failCommit = false;
  bool failCreate = false;
  std::function<void()> onCommit;
  std::string bytesWritten;

  std::unique_ptr<jobs::InputFile> OpenInput(const std::string& path) override {
    auto file = jobs::DiskFiles().OpenInput(path);
    return file ? std::make_unique<Input>(std::move(file), *this) : nullptr;
  }
  std::unique_ptr<jobs::OutputFile> CreateOutput(
      const std::string& path, const std::string& from,
      const jobs::RunningFlag& running) override {
    auto file = failCreate
                    ? nullptr
                    : jobs::DiskFiles().CreateOutput(path, from, running);
    return file ? std::make_unique<Output>(std::move(file), *this) : nullptr;
  }
  bool SameFile(const std::string& a, const std::string& b) override {
    return jobs::DiskFiles().SameFile(a, b);
  }

 private:
  // How many of `size` bytes at `offset` come before `failsAt`.
  static std::size_t Allowed(std::int64_t offset, std::size_t size,
                             std::int64_t failsAt) {
    const auto n = static_cast<std::int64_t>(size);
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>(failsAt < 0 ? n : failsAt - offset, 0, n));
  }
  struct Input final : jobs::InputFile {
    Input(std::unique_ptr<jobs::InputFile> f, FaultyFiles& o)
        : file(std::move(f)), owner(o) {}
    [[nodiscard]] std::int64_t Size() const override { return file->Size(); }
    [[nodiscard]] std::int64_t Position() const override {
      return file->Position();
    }
    bool Seek(std::int64_t offset) override { return file->Seek(offset); }
    std::size_t ReadBlock(void* data, std::size_t size) override {
      return file->ReadBlock(
          data, Allowed(file->Position(), size, owner.readFailsAt));
    }
    std::unique_ptr<jobs::InputFile> file;
    FaultyFiles& owner;
  };
  struct Output final : jobs::OutputFile {
    Output(std::unique_ptr<jobs::OutputFile> f, FaultyFiles& o)
        : file(std::move(f)), owner(o) {}
    std::size_t WriteBlock(const void* data, std::size_t size) override {
      const std::size_t allowed = Allowed(written, size, owner.writeFailsAt);
      const std::size_t done = file->WriteBlock(data, allowed);
      owner.bytesWritten.append(static_cast<const char*>(data), done);
      written += static_cast<std::int64_t>(done);
      return done;
    }
    bool Commit(const jobs::RunningFlag& running) override {
      if (owner.failCommit) {
        file->Discard();
        return false;
      }
      if (owner.onCommit) {
        owner.onCommit();  // e.g. a Cancel while the output is synced
      }
      return file->Commit(running);
    }
    void Discard() override { file->Discard(); }
    std::unique_ptr<jobs::OutputFile> file;
    FaultyFiles& owner;
    std::int64_t written = 0;
  };
};

// The bar's positions for the body bytes at `begin` up to `end` of `size`:
// 100 * index / (size + 1), truncated, each position once.
inline std::vector<int> PositionsOf(std::int64_t begin, std::int64_t end,
                                    std::int64_t size) {
  std::vector<int> positions;
  for (std::int64_t i = begin; i < end; ++i) {
    const auto position = static_cast<int>(100 * i / (size + 1));
    if (positions.empty() || positions.back() != position) {
      positions.push_back(position);
    }
  }
  return positions;
}

// One job: Run starts it with the running flag set (unless told otherwise)
// and keeps its result.
struct JobHarness {
  JobHarness(const std::string& input, const std::string& output,
             const std::string& password)
      : request{input, input, output, output, password} {}

  jobs::JobMessage Run(jobs::JobFiles& files = jobs::DiskFiles(),
                       bool flagSet = true) {
    running.store(flagSet ? 1 : 0);
    result = jobs::RunJob(request, running, progress, files);
    return result.message;
  }

  jobs::JobRequest request;
  RecordingProgress progress;
  jobs::RunningFlag running{0};
  jobs::JobResult result;
};

}  // namespace test

#pragma once

// What the job tests put around a job: a window that records every
// operation, a file layer with faults on demand, containers built by hand
// from the layout, and a request as a window would hold it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cipher/tap_pattern.h"
#include "jobs/run_job.h"
#include "tests/cipher/reference_register.h"

namespace test {

// The job's progress and the caller's part around it, in order, as text:
// "range 0 100 1", "enable 0", "message готово", "enable 1"; the positions
// are kept on their own.
class RecordingWindow final : public jobs::ProgressSink {
 public:
  void SetRange(int minimum, int maximum) override {
    calls.push_back("range " + std::to_string(minimum) + " " +
                    std::to_string(maximum) + " 1");
    calls.emplace_back("enable 0");
  }
  void SetPosition(int position) override {
    positions.push_back(position);
    if (onPosition) {
      onPosition(position);  // on the job's thread, e.g. to cancel
    }
  }
  void End(jobs::JobMessage message) {
    calls.push_back("message " + std::string(jobs::MessageText(message)));
    calls.emplace_back("enable 1");
  }

  std::vector<std::string> calls;
  std::vector<int> positions;
  std::function<void(int)> onPosition;
};

// The real disk, with reads failing from the n-th byte read on, writes from
// the n-th byte written on (from 1), a failing commit or a failing creation
// of the output when asked; counts the bytes read and written.
class FaultyFiles final : public jobs::JobFiles {
 public:
  int failRead = 0, failWrite = 0, reads = 0, writes = 0;
  bool failCommit = false, failCreate = false;

  std::unique_ptr<jobs::InputFile> OpenInput(const std::string& path) override {
    auto file = jobs::DiskFiles().OpenInput(path);
    return file ? std::make_unique<Input>(std::move(file), *this) : nullptr;
  }
  std::unique_ptr<jobs::OutputFile> CreateOutput(
      const std::string& path) override {
    auto file = failCreate ? nullptr : jobs::DiskFiles().CreateOutput(path);
    return file ? std::make_unique<Output>(std::move(file), *this) : nullptr;
  }
  bool SameFile(const std::string& a, const std::string& b) override {
    return jobs::DiskFiles().SameFile(a, b);
  }

 private:
  struct Input final : jobs::InputFile {
    Input(std::unique_ptr<jobs::InputFile> f, FaultyFiles& o)
        : file(std::move(f)), owner(o) {}
    [[nodiscard]] std::int64_t Size() const override { return file->Size(); }
    [[nodiscard]] std::int64_t Position() const override {
      return file->Position();
    }
    bool Seek(std::int64_t offset) override { return file->Seek(offset); }
    std::size_t ReadBlock(void* data, std::size_t size) override {
      auto* bytes = static_cast<char*>(data);
      std::size_t done = 0;
      while (done < size &&
             (++owner.reads < owner.failRead || owner.failRead == 0) &&
             file->ReadBlock(bytes + done, 1) == 1) {
        ++done;
      }
      return done;
    }
    std::unique_ptr<jobs::InputFile> file;
    FaultyFiles& owner;
  };
  struct Output final : jobs::OutputFile {
    Output(std::unique_ptr<jobs::OutputFile> f, FaultyFiles& o)
        : file(std::move(f)), owner(o) {}
    std::size_t WriteBlock(const void* data, std::size_t size) override {
      const auto* bytes = static_cast<const char*>(data);
      std::size_t done = 0;
      while (done < size &&
             (++owner.writes < owner.failWrite || owner.failWrite == 0) &&
             file->WriteBlock(bytes + done, 1) == 1) {
        ++done;
      }
      return done;
    }
    bool Commit() override {
      if (owner.failCommit) {
        file->Discard();
        return false;
      }
      return file->Commit();
    }
    void Discard() override { file->Discard(); }
    std::unique_ptr<jobs::OutputFile> file;
    FaultyFiles& owner;
  };
};

// A request as the window holds it; Run starts the job, with the running
// flag set unless told otherwise, and takes back the names it extended.
struct JobHarness {
  JobHarness(const std::string& input, const std::string& output,
             std::string password)
      : inputText(input),
        outputText(output),
        passwordText(std::move(password)),
        inputPath(input),
        outputPath(output) {}

  jobs::JobMessage Run(jobs::JobFiles& files = jobs::DiskFiles(),
                       bool flagSet = true) {
    running.store(flagSet ? 1 : 0);
    const jobs::JobResult result = jobs::RunJob(
        {inputText, inputPath, outputText, outputPath, passwordText}, running,
        window, files);
    outputText = result.outputText;
    outputPath = result.outputPath;
    window.End(result.message);
    running.store(0);
    return result.message;
  }

  std::string inputText, outputText, passwordText, inputPath, outputPath;
  RecordingWindow window;
  jobs::RunningFlag running{0};
};

inline void AppendInt32(std::string& out, std::int64_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out +=
        static_cast<char>((static_cast<std::uint64_t>(value) >> shift) & 0xFFU);
  }
}

// The header, field by field, for a Windows-1251 password and extension.
inline std::string BuildHeader(const std::string& password,
                               const std::string& extension,
                               std::int64_t plainSize) {
  std::string out;
  AppendInt32(out, static_cast<std::int64_t>(password.size()));
  for (std::size_t i = 0; i < password.size(); ++i) {
    const auto byte = static_cast<unsigned char>(password[i]);
    const unsigned word = (byte >= 0x80 ? 0xFF00U | byte : byte) ^ (1U << i);
    out += static_cast<char>(word & 0xFFU);
    out += static_cast<char>(word >> 8U);
  }
  AppendInt32(out, static_cast<std::int64_t>(extension.size()));
  out += extension;
  AppendInt32(out, plainSize);
  return out;
}

// Data combined with the model register's key bytes for the password.
inline std::string Combine(const std::string& password,
                           const std::string& data) {
  auto model = ReferenceRegister::WithPattern(cipher::kTapPattern);
  model.Load(password);
  std::string out;
  for (const char c : data) {
    out += static_cast<char>(static_cast<unsigned char>(c) ^ model.KeyByte());
  }
  return out;
}

inline std::string BuildContainer(const std::string& password,
                                  const std::string& extension,
                                  const std::string& plain) {
  return BuildHeader(password, extension,
                     static_cast<std::int64_t>(plain.size())) +
         Combine(password, plain);
}

}  // namespace test

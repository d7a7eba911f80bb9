#include "tests/jobs/faulty_files.h"

namespace test {

namespace {

class FaultyInput final : public jobs::InputFile {
 public:
  FaultyInput(std::unique_ptr<jobs::InputFile> file, FaultyFiles& faults)
      : file_(std::move(file)), faults_(faults) {}

  [[nodiscard]] std::int64_t Size() const override { return file_->Size(); }
  [[nodiscard]] std::int64_t Position() const override {
    return file_->Position();
  }
  bool Read(void* data, std::size_t size) override {
    if (++faults_.reads == faults_.failRead) {
      return false;
    }
    return file_->Read(data, size);
  }

 private:
  std::unique_ptr<jobs::InputFile> file_;
  FaultyFiles& faults_;
};

class FaultyOutput final : public jobs::OutputFile {
 public:
  FaultyOutput(std::unique_ptr<jobs::OutputFile> file, FaultyFiles& faults)
      : file_(std::move(file)), faults_(faults) {}

  bool Write(const void* data, std::size_t size) override {
    if (++faults_.writes == faults_.failWrite) {
      return false;
    }
    return file_->Write(data, size);
  }
  bool Commit() override {
    if (faults_.failCommit) {
      file_->Discard();
      return false;
    }
    return file_->Commit();
  }
  void Discard() override { file_->Discard(); }

 private:
  std::unique_ptr<jobs::OutputFile> file_;
  FaultyFiles& faults_;
};

}  // namespace

std::unique_ptr<jobs::InputFile> FaultyFiles::OpenInput(
    const std::string& path) {
  auto file = jobs::DiskFiles().OpenInput(path);
  if (!file) {
    return nullptr;
  }
  return std::make_unique<FaultyInput>(std::move(file), *this);
}

std::unique_ptr<jobs::OutputFile> FaultyFiles::CreateOutput(
    const std::string& path) {
  if (failCreate) {
    return nullptr;
  }
  auto file = jobs::DiskFiles().CreateOutput(path);
  if (!file) {
    return nullptr;
  }
  return std::make_unique<FaultyOutput>(std::move(file), *this);
}

}  // namespace test

// The job's files on the real file system, through the C library's buffered
// streams. An output is written to a temporary file beside it and renamed
// over it on Commit; the calls into the system are in file_system_*.cpp.

#include <random>
#include <string>

#include "jobs/file_system.h"
#include "jobs/job_files.h"

namespace jobs {

namespace {

using file_system::OutputFolder;
using file_system::OutputKind;

std::string RandomSuffix() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kAlphabet) - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) {
    c = kAlphabet[pick(generator)];
  }
  return suffix;
}

class DiskInputFile final : public InputFile {
 public:
  DiskInputFile(std::FILE* file, std::int64_t size)
      : file_(file), size_(size) {}
  ~DiskInputFile() override { std::fclose(file_); }

  [[nodiscard]] std::int64_t Size() const override { return size_; }
  [[nodiscard]] std::int64_t Position() const override {
    return file_system::StreamPosition(file_);
  }
  bool Seek(std::int64_t offset) override {
    return file_system::SeekStream(file_, offset);
  }
  std::size_t ReadBlock(void* data, std::size_t size) override {
    return std::fread(data, 1, size, file_);
  }

 private:
  std::FILE* file_;
  std::int64_t size_;
};

// Writes to a temporary file beside the target and renames it over the
// target on Commit. An existing target that is not a regular file (a device
// or a pipe) is written directly instead: renaming over it would replace
// the device, and there is nothing in it to keep.
class DiskOutputFile final : public OutputFile {
 public:
  // Writes the target directly.
  explicit DiskOutputFile(std::FILE* file) : file_(file) {}
  // Writes `temporary` in `folder`, to become the target there.
  DiskOutputFile(std::FILE* file, std::unique_ptr<OutputFolder> folder,
                 std::string temporary, file_system::OutputTarget target)
      : file_(file),
        folder_(std::move(folder)),
        temporary_(std::move(temporary)),
        target_(std::move(target)) {}
  ~DiskOutputFile() override { Discard(); }

  std::size_t WriteBlock(const void* data, std::size_t size) override {
    return std::fwrite(data, 1, size, file_);
  }

  bool Commit(const RunningFlag& running) override {
    if (file_ == nullptr) {
      return false;
    }
    bool written = std::fflush(file_) == 0;
    if (written && folder_) {
      written = file_system::SetFinalPermissions(file_, target_) &&
                file_system::SyncStream(file_);
    }
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    // A Cancel that came during the sync still keeps the old file.
    written = written && running.load() != 0;
    if (!folder_) {
      return written;
    }
    if (!written || !folder_->Rename(temporary_, folder_->TargetName())) {
      folder_->Remove(temporary_);
      folder_.reset();
      return false;
    }
    folder_->Sync();
    folder_.reset();
    return true;
  }

  void Discard() override {
    if (file_ != nullptr) {
      std::fclose(file_);
      file_ = nullptr;
    }
    if (folder_) {
      folder_->Remove(temporary_);
      folder_.reset();
    }
  }

 private:
  std::FILE* file_;
  std::unique_ptr<OutputFolder> folder_;  // none when writing the target
  std::string temporary_;
  file_system::OutputTarget target_{};  // what the file is to replace
};

class Disk final : public JobFiles {
 public:
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override {
    const auto opened = file_system::OpenRegularFile(path);
    if (!opened) {
      return nullptr;
    }
    return std::make_unique<DiskInputFile>(opened->stream, opened->size);
  }

  std::unique_ptr<OutputFile> CreateOutput(
      const std::string& path, const std::string& permissionsFrom,
      const RunningFlag& running) override {
    file_system::OutputTarget target = file_system::FindOutputTarget(path);
    if (target.kind == OutputKind::kRefused) {
      return nullptr;
    }
    if (target.kind == OutputKind::kAbsent) {
      std::error_code error;
      target.permissions =
          std::filesystem::status(permissionsFrom, error).permissions() &
          std::filesystem::perms::all;
      if (error) {
        target.permissions = std::filesystem::perms::owner_read |
                             std::filesystem::perms::owner_write;
      }
    }
    if (target.kind == OutputKind::kOther) {
      std::FILE* file = file_system::OpenInPlace(target.path, running);
      return file == nullptr ? nullptr : std::make_unique<DiskOutputFile>(file);
    }
    std::unique_ptr<OutputFolder> folder =
        file_system::OpenOutputFolder(target.path);
    if (!folder) {
      return nullptr;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temporary =
          kTemporaryPrefix + RandomSuffix() + kTemporarySuffix;
      const file_system::NewFile file = folder->CreateNew(temporary, target);
      if (file.stream != nullptr) {
        return std::make_unique<DiskOutputFile>(file.stream, std::move(folder),
                                                temporary, target);
      }
      if (!file.nameTaken) {
        return nullptr;
      }
    }
    return nullptr;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    return file_system::SameFile(a, b);
  }
};

}  // namespace

JobFiles& DiskFiles() {
  static Disk disk;
  return disk;
}

}  // namespace jobs

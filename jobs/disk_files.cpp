// The job's files on the real file system, through the C library's buffered
// streams.

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "jobs/job_files.h"

#ifdef _WIN32
#include <io.h>
#define PROGRAM_SEEK _fseeki64
#define PROGRAM_TELL _ftelli64
#else
#include <fcntl.h>
#include <unistd.h>
#define PROGRAM_SEEK fseeko
#define PROGRAM_TELL ftello
#endif

namespace jobs {

namespace {

namespace fs = std::filesystem;

bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// Makes a rename in `folder` durable. Best effort: not every file system
// lets a folder be synced.
void SyncFolder([[maybe_unused]] const fs::path& folder) {
#ifndef _WIN32
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
#endif
}

bool MayWrite(const fs::path& path) {
#ifdef _WIN32
  return _access(path.string().c_str(), 2) == 0;
#else
  return access(path.c_str(), W_OK) == 0;
#endif
}

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
    return PROGRAM_TELL(file_);
  }
  bool Read(void* data, std::size_t size) override {
    return size == 0 || std::fread(data, size, 1, file_) == 1;
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
  DiskOutputFile(std::FILE* file, fs::path target, fs::path temporary)
      : file_(file),
        target_(std::move(target)),
        temporary_(std::move(temporary)) {}
  ~DiskOutputFile() override { Discard(); }

  bool Write(const void* data, std::size_t size) override {
    return size == 0 || std::fwrite(data, size, 1, file_) == 1;
  }
  std::size_t WriteBlock(const void* data, std::size_t size) override {
    return std::fwrite(data, 1, size, file_);
  }

  bool Commit() override {
    if (file_ == nullptr) {
      return false;
    }
    bool written = std::fflush(file_) == 0;
    if (written && !temporary_.empty()) {
      written = SyncToDisk(file_);
    }
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (temporary_.empty()) {
      return written;
    }
    std::error_code error;
    if (written) {
      fs::rename(temporary_, target_, error);
    }
    if (!written || error) {
      fs::remove(temporary_, error);
      temporary_.clear();
      return false;
    }
    temporary_.clear();
    SyncFolder(target_.parent_path().empty() ? fs::path(".")
                                             : target_.parent_path());
    return true;
  }

  void Discard() override {
    if (file_ != nullptr) {
      std::fclose(file_);
      file_ = nullptr;
    }
    if (!temporary_.empty()) {
      std::error_code error;
      fs::remove(temporary_, error);
      temporary_.clear();
    }
  }

 private:
  std::FILE* file_;
  fs::path target_;
  fs::path temporary_;  // empty when writing the target directly
};

class Disk final : public JobFiles {
 public:
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override {
    std::error_code error;
    if (!fs::is_regular_file(fs::status(path, error))) {
      return nullptr;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      return nullptr;
    }
    std::int64_t size = -1;
    if (PROGRAM_SEEK(file, 0, SEEK_END) == 0) {
      size = PROGRAM_TELL(file);
    }
    if (size < 0 || PROGRAM_SEEK(file, 0, SEEK_SET) != 0) {
      std::fclose(file);
      return nullptr;
    }
    return std::make_unique<DiskInputFile>(file, size);
  }

  std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
    std::error_code error;
    fs::path target(path);
    if (fs::is_symlink(fs::symlink_status(target, error))) {
      // Write through the link, as opening it would, and keep the link.
      fs::path resolved = fs::canonical(target, error);
      if (!error) {
        target = std::move(resolved);
      }
    }
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status)) {
      if (fs::is_directory(status) || !MayWrite(target)) {
        return nullptr;
      }
      if (!fs::is_regular_file(status)) {
        std::FILE* file = std::fopen(target.string().c_str(), "wb");
        return file == nullptr
                   ? nullptr
                   : std::make_unique<DiskOutputFile>(file, target, fs::path());
      }
    }
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path temporary =
          folder / (kTemporaryPrefix + RandomSuffix() + kTemporarySuffix);
      std::FILE* file = std::fopen(temporary.string().c_str(), "wbx");
      if (file == nullptr) {
        if (errno == EEXIST) {
          continue;
        }
        return nullptr;
      }
      if (fs::exists(status)) {
        // Keep the permissions of the file being replaced.
        fs::permissions(temporary, status.permissions(), error);
      }
      return std::make_unique<DiskOutputFile>(file, target, temporary);
    }
    return nullptr;
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
  }
};

}  // namespace

JobFiles& DiskFiles() {
  static Disk disk;
  return disk;
}

}  // namespace jobs

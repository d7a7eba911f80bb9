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
#include <sys/stat.h>
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

// The output's folder, through which the temporary file is created, renamed
// and removed by its name alone: the temporary name may be longer than the
// output's, and with the folder's whole path in front it could pass the
// platform's path limit where the output's own path does not.
class Folder {
 public:
  explicit Folder(const fs::path& path) : path_(path.empty() ? "." : path) {
#ifndef _WIN32
    fd_ = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    if (fd_ < 0 && errno == EACCES) {
      // A folder one may write in but not list; it cannot be synced.
      fd_ = open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
#endif
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() {
#ifndef _WIN32
    if (fd_ >= 0) {
      close(fd_);
    }
#endif
  }

  [[nodiscard]] bool Opened() const {
#ifdef _WIN32
    return true;
#else
    return fd_ >= 0;
#endif
  }
  // Creates `name` for writing; fails if it exists.
  [[nodiscard]] std::FILE* CreateNew(const std::string& name) const {
#ifdef _WIN32
    return std::fopen((path_ / name).string().c_str(), "wbx");
#else
    const int fd = openat(fd_, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
      close(fd);
    }
    return file;
#endif
  }
  [[nodiscard]] bool Rename(const std::string& from,
                            const std::string& to) const {
#ifdef _WIN32
    std::error_code error;
    fs::rename(path_ / from, path_ / to, error);
    return !error;
#else
    return renameat(fd_, from.c_str(), fd_, to.c_str()) == 0;
#endif
  }
  void Remove(const std::string& name) const {
#ifdef _WIN32
    std::error_code error;
    fs::remove(path_ / name, error);
#else
    unlinkat(fd_, name.c_str(), 0);
#endif
  }
  void SetPermissions(const std::string& name, fs::perms permissions) const {
#ifdef _WIN32
    std::error_code error;
    fs::permissions(path_ / name, permissions, error);
#else
    fchmodat(fd_, name.c_str(), static_cast<mode_t>(permissions), 0);
#endif
  }
  // Makes a rename in the folder durable. Best effort: not every file
  // system lets a folder be synced.
  void Sync() const {
#ifndef _WIN32
    fsync(fd_);
#endif
  }

 private:
  fs::path path_;
#ifndef _WIN32
  int fd_ = -1;
#endif
};

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
  // Writes the target directly.
  explicit DiskOutputFile(std::FILE* file) : file_(file) {}
  // Writes `temporary` in `folder`, to become `target` there.
  DiskOutputFile(std::FILE* file, std::unique_ptr<Folder> folder,
                 std::string target, std::string temporary)
      : file_(file),
        folder_(std::move(folder)),
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
    if (written && folder_) {
      written = SyncToDisk(file_);
    }
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (!folder_) {
      return written;
    }
    if (!written || !folder_->Rename(temporary_, target_)) {
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
  std::unique_ptr<Folder> folder_;  // none when writing the target directly
  std::string target_;
  std::string temporary_;
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
        return file == nullptr ? nullptr
                               : std::make_unique<DiskOutputFile>(file);
      }
    }
    auto folder = std::make_unique<Folder>(target.parent_path());
    if (!folder->Opened()) {
      return nullptr;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temporary =
          kTemporaryPrefix + RandomSuffix() + kTemporarySuffix;
      std::FILE* file = folder->CreateNew(temporary);
      if (file == nullptr) {
        if (errno == EEXIST) {
          continue;
        }
        return nullptr;
      }
      if (fs::exists(status)) {
        // Keep the permissions of the file being replaced.
        folder->SetPermissions(temporary, status.permissions());
      }
      return std::make_unique<DiskOutputFile>(
          file, std::move(folder), target.filename().string(), temporary);
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

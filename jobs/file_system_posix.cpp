// The job's files on POSIX systems. The temporary file is created, renamed
// and removed through a descriptor of its folder, by its name alone: with
// the folder's whole path in front, the temporary name (which may be longer
// than the output's) could pass the path limit where the output's own path
// does not.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "jobs/file_system.h"

namespace jobs::file_system {

namespace {

namespace fs = std::filesystem;

class PosixFolder final : public OutputFolder {
 public:
  PosixFolder(int fd, std::string targetName)
      : fd_(fd), targetName_(std::move(targetName)) {}
  ~PosixFolder() override { close(fd_); }

  [[nodiscard]] std::string TargetName() const override { return targetName_; }

  [[nodiscard]] NewFile CreateNew(
      const std::string& name, const OutputTarget& replacing) const override {
    const int fd = openat(fd_, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      return {.nameTaken = errno == EEXIST};
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
      close(fd);
      Remove(name);
      return {};
    }
    if (replacing.kind == OutputKind::kRegular) {
      fchmodat(fd_, name.c_str(), static_cast<mode_t>(replacing.permissions),
               0);
    }
    return {.stream = file};
  }

  [[nodiscard]] bool Rename(const std::string& from,
                            const std::string& to) const override {
    return renameat(fd_, from.c_str(), fd_, to.c_str()) == 0;
  }

  void Remove(const std::string& name) const override {
    unlinkat(fd_, name.c_str(), 0);
  }

  // Not every file system lets a folder be synced.
  void Sync() const override { fsync(fd_); }

 private:
  int fd_;
  std::string targetName_;
};

}  // namespace

std::optional<OpenedInput> OpenRegularFile(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(fs::status(path, error))) {
    return std::nullopt;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::nullopt;
  }
  std::int64_t size = -1;
  if (fseeko(file, 0, SEEK_END) == 0) {
    size = ftello(file);
  }
  if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return std::nullopt;
  }
  return OpenedInput{file, size};
}

std::int64_t StreamPosition(std::FILE* stream) { return ftello(stream); }

bool SeekStream(std::FILE* stream, std::int64_t offset) {
  return fseeko(stream, offset, SEEK_SET) == 0;
}

bool SyncStream(std::FILE* stream) { return fsync(fileno(stream)) == 0; }

OutputTarget FindOutputTarget(const std::string& path) {
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
  OutputKind kind = OutputKind::kAbsent;
  if (fs::exists(status)) {
    if (fs::is_directory(status) || access(target.c_str(), W_OK) != 0) {
      kind = OutputKind::kRefused;
    } else if (!fs::is_regular_file(status)) {
      kind = OutputKind::kOther;
    } else {
      kind = OutputKind::kRegular;
    }
  }
  return {target.string(), kind, status.permissions()};
}

std::FILE* OpenInPlace(const std::string& path) {
  return std::fopen(path.c_str(), "wb");
}

std::unique_ptr<OutputFolder> OpenOutputFolder(const std::string& targetPath) {
  const fs::path target(targetPath);
  const fs::path folder =
      target.parent_path().empty() ? "." : target.parent_path();
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
  if (fd < 0 && errno == EACCES) {
    // A folder one may write in but not list; it cannot be synced.
    fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
#endif
  if (fd < 0) {
    return nullptr;
  }
  return std::make_unique<PosixFolder>(fd, target.filename().string());
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace jobs::file_system

// The job's files on POSIX systems. The temporary file is created, renamed
// and removed through a descriptor of its folder, by its name alone: with
// the folder's whole path in front, the temporary name (which may be longer
// than the output's) could pass the path limit where the output's own path
// does not.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

#include "jobs/file_system.h"

namespace jobs::file_system {

namespace {

namespace fs = std::filesystem;

// The kernel's limit on links followed in one lookup.
constexpr int kMaxLinks = 40;
// How long a wait on a pipe lasts before the running flag is looked at.
constexpr int kWaitSliceMs = 50;

fs::path FolderOf(const fs::path& path) {
  return path.parent_path().empty() ? fs::path(".") : path.parent_path();
}

// The kernel's rule for links (fs.protected_symlinks), whatever the
// system's setting: in a sticky folder that anyone may write, such as /tmp,
// only a link of the caller or of the folder's owner is followed, so that
// nobody can plant a link under a name someone else will write.
bool MayFollow(const struct stat& link, const fs::path& folder) {
  struct stat shared {};
  if (stat(folder.c_str(), &shared) != 0) {
    return false;
  }
  const bool sticky =
      (shared.st_mode & S_ISVTX) != 0 && (shared.st_mode & S_IWOTH) != 0;
  return !sticky || link.st_uid == geteuid() || link.st_uid == shared.st_uid;
}

// The umask, read without changing it where the system says it (Linux);
// setting it to read it would race with files other threads create.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) {
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
  }
  const mode_t mask = umask(077);
  umask(mask);
  return mask;
}

// A device or a pipe written through a non-blocking descriptor, so that a
// wait for room in a pipe looks at the running flag in slices.
struct PipeCookie {
  int fd;
  const RunningFlag* running;
};

ssize_t WriteWaiting(void* cookie, const char* data, std::size_t size) {
  const auto& pipe = *static_cast<PipeCookie*>(cookie);
  // SIGPIPE held back on this thread: a reader gone is EPIPE, a write error,
  // not the end of the program. One raised is taken back before it is
  // unblocked.
  sigset_t pipeSignal;
  sigset_t previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  // The C library takes a short count as the end: write it all.
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = write(pipe.fd, data + done, size - done);
    if (written >= 0) {
      done += static_cast<std::size_t>(written);
    } else if ((errno != EAGAIN && errno != EINTR) ||
               pipe.running->load() == 0) {
      break;
    } else {
      pollfd ready{.fd = pipe.fd, .events = POLLOUT, .revents = 0};
      poll(&ready, 1, kWaitSliceMs);
    }
  }
  if (done < size && errno == EPIPE) {
    const timespec now{};
    sigtimedwait(&pipeSignal, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  // A short count is the failure: the C library misreads -1 from a cookie
  // in a large write.
  return static_cast<ssize_t>(done);
}

int ClosePipe(void* cookie) {
  const auto* pipe = static_cast<PipeCookie*>(cookie);
  const int result = close(pipe->fd);
  delete pipe;  // NOLINT: made by OpenInPlace
  return result;
}

class PosixFolder final : public OutputFolder {
 public:
  PosixFolder(int fd, std::string targetName)
      : fd_(fd), targetName_(std::move(targetName)) {}
  ~PosixFolder() override { close(fd_); }

  [[nodiscard]] std::string TargetName() const override { return targetName_; }

  [[nodiscard]] NewFile CreateNew(
      const std::string& name,
      const OutputTarget& /*replacing*/) const override {
    // Nobody else may open it while it is written: a file readable for a
    // moment is read (a container gives its password away).
    const int fd = openat(fd_, name.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      return {.nameTaken = errno == EEXIST};
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
      close(fd);
      Remove(name);
      return {};
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
  // Each link is followed as opening it would follow it, and kept; the file
  // it leads to is replaced. Reading a link and renaming over its target
  // bypasses the kernel's own guard, so that guard is applied here.
  struct stat link {};
  for (int links = 0;; ++links) {
    if (lstat(target.c_str(), &link) != 0) {
      break;  // absent, or failing later where it is created
    }
    if (!S_ISLNK(link.st_mode)) {
      break;
    }
    struct stat followed {};
    if (links == kMaxLinks || !MayFollow(link, FolderOf(target)) ||
        stat(target.c_str(), &followed) != 0) {
      return {path, OutputKind::kRefused, {}};  // also dangling, or a loop
    }
    fs::path next = FolderOf(target) / fs::read_symlink(target, error);
    if (error || lstat(next.c_str(), &link) != 0) {
      break;  // one only the system resolves (/dev/stdout to a pipe): as is
    }
    target = std::move(next);
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

std::FILE* OpenInPlace(const std::string& path, const RunningFlag& running) {
  // Without O_NONBLOCK, opening a pipe that has no reader waits for one
  // with no way out.
  int fd = -1;
  while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
    if (errno != ENXIO || running.load() == 0) {
      return nullptr;
    }
    poll(nullptr, 0, kWaitSliceMs);
  }
  auto* cookie = new PipeCookie{fd, &running};  // NOLINT: owned by the stream
  std::FILE* file = fopencookie(cookie, "wb",
                                {.read = nullptr,
                                 .write = WriteWaiting,
                                 .seek = nullptr,
                                 .close = ClosePipe});
  if (file == nullptr) {
    ClosePipe(cookie);
  }
  return file;
}

bool SetFinalPermissions(std::FILE* stream, const OutputTarget& replacing) {
  auto mode = static_cast<mode_t>(replacing.permissions) & 07777U;
  if (replacing.kind != OutputKind::kRegular) {
    mode &= ~CurrentUmask();
  }
  return fchmod(fileno(stream), mode) == 0;
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

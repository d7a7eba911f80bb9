// The job's files on Windows. Paths reach the system as absolute UTF-16
// paths with the "\\?\" prefix, so that the temporary file beside an output
// at the path limit (its name may be longer than the output's) can still be
// created, renamed and removed. A rename replaces the output with
// MoveFileExW and is written through to the disk before it returns.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <utility>

#include "format/wide_text.h"
#include "jobs/file_system.h"

namespace jobs::file_system {

using format::FromUtf16;
using format::kUtf8CodePage;
using format::ToUtf16;

namespace {

constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";

// Everyone else may read and write a file the job holds open, as with the
// C library's fopen.
constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  void Close() {
    if (Valid()) {
      CloseHandle(Release());
    }
  }
  [[nodiscard]] bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE get() const { return handle_; }
  // Gives the handle up to the caller.
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

// The path as the wide calls take it: absolute, with the long-path prefix
// (a device such as NUL keeps its own). Empty when `path` is not UTF-8 or
// holds a zero character.
std::wstring SystemPath(const std::string& path) {
  const std::optional<std::wstring> wide = ToUtf16(kUtf8CodePage, path);
  if (!wide || wide->empty() || wide->find(L'\0') != std::wstring::npos) {
    return {};
  }
  if (wide->starts_with(kLongPathPrefix)) {
    return *wide;
  }
  const DWORD size = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return {};
  }
  std::wstring full(size, L'\0');
  const DWORD length =
      GetFullPathNameW(wide->c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    return {};
  }
  full.resize(length);
  if (full.starts_with(kDevicePrefix)) {
    return full;
  }
  if (full.starts_with(kUncPrefix)) {
    return std::wstring(kLongUncPrefix) + full.substr(kUncPrefix.size());
  }
  return std::wstring(kLongPathPrefix) + full;
}

// A C library stream over a handle; the stream owns the handle after that.
std::FILE* StreamOf(Handle& handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()),
                                 flags | _O_BINARY);
  if (fd < 0) {
    return nullptr;
  }
  handle.Release();
  std::FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) {
    _close(fd);
  }
  return stream;
}

bool MayWrite(const std::wstring& path) {
  const Handle handle(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  return handle.Valid();
}

// Where a link leads: the path of the file that opening it reaches.
std::optional<std::wstring> LinkTarget(const std::wstring& link) {
  const Handle handle(CreateFileW(link.c_str(), 0, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
  if (!handle.Valid()) {
    return std::nullopt;
  }
  const DWORD size =
      GetFinalPathNameByHandleW(handle.get(), nullptr, 0, VOLUME_NAME_DOS);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring target(size, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle.get(), target.data(),
                                                 size, VOLUME_NAME_DOS);
  if (length == 0 || length >= size) {
    return std::nullopt;
  }
  target.resize(length);
  return target;
}

class WindowsFolder final : public OutputFolder {
 public:
  // `folder` ends in a backslash.
  WindowsFolder(std::wstring folder, std::string targetName)
      : folder_(std::move(folder)), targetName_(std::move(targetName)) {}

  [[nodiscard]] std::string TargetName() const override { return targetName_; }

  [[nodiscard]] NewFile CreateNew(
      const std::string& name,
      const OutputTarget& /*replacing*/) const override {
    const std::wstring path = PathOf(name);
    Handle handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!handle.Valid()) {
      const DWORD error = GetLastError();
      return {.nameTaken =
                  error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS};
    }
    std::FILE* stream = StreamOf(handle, _O_WRONLY, "wb");
    if (stream == nullptr) {
      handle.Close();
      DeleteFileW(path.c_str());
    }
    return {.stream = stream};
  }

  [[nodiscard]] bool Rename(const std::string& from,
                            const std::string& to) const override {
    return MoveFileExW(PathOf(from).c_str(), PathOf(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  void Remove(const std::string& name) const override {
    DeleteFileW(PathOf(name).c_str());
  }

  // MOVEFILE_WRITE_THROUGH has made the rename durable already.
  void Sync() const override {}

 private:
  [[nodiscard]] std::wstring PathOf(const std::string& name) const {
    return folder_ + ToUtf16(kUtf8CodePage, name).value_or(L"");
  }

  std::wstring folder_;
  std::string targetName_;
};

}  // namespace

std::optional<OpenedInput> OpenRegularFile(const std::string& path) {
  const std::wstring systemPath = SystemPath(path);
  if (systemPath.empty()) {
    return std::nullopt;
  }
  // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS.
  Handle handle(CreateFileW(systemPath.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!handle.Valid() || GetFileType(handle.get()) != FILE_TYPE_DISK ||
      GetFileSizeEx(handle.get(), &size) == 0) {
    return std::nullopt;
  }
  std::FILE* stream = StreamOf(handle, _O_RDONLY, "rb");
  if (stream == nullptr) {
    return std::nullopt;
  }
  return OpenedInput{stream, size.QuadPart};
}

std::int64_t StreamPosition(std::FILE* stream) { return _ftelli64(stream); }

bool SeekStream(std::FILE* stream, std::int64_t offset) {
  return _fseeki64(stream, offset, SEEK_SET) == 0;
}

bool SyncStream(std::FILE* stream) {
  // The C runtime hands out the handle as an integer.
  auto* const handle = reinterpret_cast<HANDLE>(  // NOLINT(*-int-to-ptr)
      _get_osfhandle(_fileno(stream)));
  return FlushFileBuffers(handle) != 0;
}

OutputTarget FindOutputTarget(const std::string& path) {
  OutputTarget target{path, OutputKind::kAbsent,
                      std::filesystem::perms::unknown};
  std::wstring systemPath = SystemPath(path);
  if (systemPath.starts_with(kDevicePrefix)) {
    target.kind = OutputKind::kOther;
    return target;
  }
  DWORD attributes = GetFileAttributesW(systemPath.c_str());
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      attributes != INVALID_FILE_ATTRIBUTES) {
    // Write through the link, as opening it would, and keep the link. A
    // link that leads nowhere is replaced.
    std::optional<std::wstring> linked = LinkTarget(systemPath);
    std::optional<std::string> linkedPath =
        linked ? FromUtf16(kUtf8CodePage, *linked) : std::nullopt;
    if (!linkedPath) {
      return target;
    }
    systemPath = *std::move(linked);
    target.path = *std::move(linkedPath);
    attributes = GetFileAttributesW(systemPath.c_str());
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return target;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !MayWrite(systemPath)) {
    target.kind = OutputKind::kRefused;
  } else {
    target.kind = OutputKind::kRegular;
  }
  return target;
}

std::FILE* OpenInPlace(const std::string& path,
                       const RunningFlag& /*running*/) {
  Handle handle(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return handle.Valid() ? StreamOf(handle, _O_WRONLY, "wb") : nullptr;
}

// A new file takes the permissions its folder gives.
bool SetFinalPermissions(std::FILE* /*stream*/,
                         const OutputTarget& /*replacing*/) {
  return true;
}

std::unique_ptr<OutputFolder> OpenOutputFolder(const std::string& targetPath) {
  const std::wstring path = SystemPath(targetPath);
  const std::size_t separator = path.find_last_of(L'\\');
  if (path.empty() || separator == std::wstring::npos) {
    return nullptr;
  }
  const std::optional<std::string> name =
      FromUtf16(kUtf8CodePage, path.substr(separator + 1));
  if (!name || name->empty()) {
    return nullptr;
  }
  return std::make_unique<WindowsFolder>(path.substr(0, separator + 1), *name);
}

bool SameFile(const std::string& a, const std::string& b) {
  // A file is known by its volume and its index on it, whatever the path.
  const auto identity =
      [](const std::string& path) -> std::optional<BY_HANDLE_FILE_INFORMATION> {
    const Handle handle(CreateFileW(SystemPath(path).c_str(), 0, kShareAll,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.Valid() ||
        GetFileInformationByHandle(handle.get(), &information) == 0) {
      return std::nullopt;
    }
    return information;
  };
  const auto first = identity(a);
  const auto second = identity(b);
  return first && second &&
         first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
         first->nFileIndexHigh == second->nFileIndexHigh &&
         first->nFileIndexLow == second->nFileIndexLow;
}

}  // namespace jobs::file_system

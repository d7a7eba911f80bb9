#pragma once

// The calls into the operating system that the job's files make, one file
// per system: file_system_posix.cpp and file_system_win32.cpp. Paths are
// UTF-8. What is done with the calls (the temporary file beside the output,
// when it replaces the output, what is refused) is in disk_files.cpp.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "jobs/job_files.h"

namespace jobs::file_system {

struct OpenedInput {
  std::FILE* stream;
  std::int64_t size;  // taken when the file was opened
};

// Opens a regular file for binary reading; nothing for anything else (a
// missing file, a folder, a device).
std::optional<OpenedInput> OpenRegularFile(const std::string& path);

// The read position of a stream opened here.
std::int64_t StreamPosition(std::FILE* stream);

// Moves a stream opened here to `offset` from its start.
bool SeekStream(std::FILE* stream, std::int64_t offset);

// Makes what was flushed from the stream durable on the disk.
bool SyncStream(std::FILE* stream);

enum class OutputKind {
  kAbsent,   // nothing stands under the name yet
  kRegular,  // a regular file that may be replaced
  kRefused,  // a folder, or a file that may not be written
  kOther,    // a device or a pipe: written in place, there is nothing to keep
};

struct OutputTarget {
  std::string path;  // the file to write: where a link, the file it leads to
  OutputKind kind;
  // A regular file's own; for an absent one, those a new file is to take
  // (limited by the umask where there is one).
  std::filesystem::perms permissions;
};

// What writing to `path` would meet. A link is followed only where the
// system itself would follow it when the caller opened it; a link it would
// not follow, a dangling link and a loop are refused.
OutputTarget FindOutputTarget(const std::string& path);

// Opens a device or a pipe for binary writing. Waiting for a pipe's reader,
// or for room in the pipe, ends when `running` is cleared; a reader that
// goes away makes the write fail.
std::FILE* OpenInPlace(const std::string& path, const RunningFlag& running);

struct NewFile {
  std::FILE* stream = nullptr;
  bool nameTaken = false;  // failed because the name exists
};

// The folder of an output, where its temporary file is created, renamed
// and removed by name.
class OutputFolder {
 public:
  OutputFolder() = default;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  virtual ~OutputFolder() = default;

  // The output's own name in the folder.
  [[nodiscard]] virtual std::string TargetName() const = 0;
  // Creates `name` for binary writing, with no access for anyone else
  // until SetFinalPermissions.
  [[nodiscard]] virtual NewFile CreateNew(
      const std::string& name, const OutputTarget& replacing) const = 0;
  // Moves `from` over `to`, replacing it.
  [[nodiscard]] virtual bool Rename(const std::string& from,
                                    const std::string& to) const = 0;
  virtual void Remove(const std::string& name) const = 0;
  // Makes a rename in the folder durable; best effort.
  virtual void Sync() const = 0;
};

// Gives a file made by CreateNew the permissions of `replacing`: a regular
// file's own, or for a new one those asked, limited by the umask.
bool SetFinalPermissions(std::FILE* stream, const OutputTarget& replacing);

// Nothing when the folder of `targetPath` cannot be reached.
std::unique_ptr<OutputFolder> OpenOutputFolder(const std::string& targetPath);

// True when both paths lead to one existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace jobs::file_system

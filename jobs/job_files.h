#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace jobs {

// The running flag: 1 while a job runs; clearing it from another thread
// cancels the job at its next poll.
using RunningFlag = std::atomic<std::uint8_t>;

// The file a job reads: opened for binary reading, read in blocks.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  virtual ~InputFile() = default;

  // Size in bytes, taken when the file was opened.
  [[nodiscard]] virtual std::int64_t Size() const = 0;
  // Offset of the next byte to read.
  [[nodiscard]] virtual std::int64_t Position() const = 0;
  // Moves to `offset` from the start; false if that fails.
  virtual bool Seek(std::int64_t offset) = 0;
  // Reads up to `size` bytes and returns how many; fewer only where a read
  // failed or the file ended.
  virtual std::size_t ReadBlock(void* data, std::size_t size) = 0;
};

// The file a job writes. Nothing appears under the output name until Commit
// succeeds: until then the bytes go to a temporary file beside it, and a file
// that already stood under the name stays as it was.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Discards whatever was not committed.
  virtual ~OutputFile() = default;

  // Writes up to `size` bytes and returns how many were written; fewer
  // only where a write failed.
  virtual std::size_t WriteBlock(const void* data, std::size_t size) = 0;
  // Flushes, syncs and closes the file and moves it to the output name.
  // False, with everything discarded, if any of that fails, or if `running`
  // was cleared before the move (a sync can take seconds).
  virtual bool Commit(const RunningFlag& running) = 0;
  // Closes the file and removes what was written.
  virtual void Discard() = 0;
};

// How a job reaches the file system. Tests put faults between the job and
// the disk through it.
class JobFiles {
 public:
  JobFiles() = default;
  JobFiles(const JobFiles&) = delete;
  JobFiles& operator=(const JobFiles&) = delete;
  virtual ~JobFiles() = default;

  // Nothing when the path is not a regular file that can be opened for
  // reading.
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path) = 0;
  // Nothing when the output cannot be created: a missing or read-only
  // folder, a name that is a folder, a link that may not be followed, or a
  // pipe whose reader did not come before `running` was cleared. A new file
  // takes the permissions of `permissionsFrom` (as cp does).
  virtual std::unique_ptr<OutputFile> CreateOutput(
      const std::string& path, const std::string& permissionsFrom,
      const RunningFlag& running) = 0;
  // True when both names lead to one existing file (other spelling, letter
  // case on a file system that ignores it, or a link).
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

// The real file system.
JobFiles& DiskFiles();

// Temporary outputs are named ".program-XXXXXX.tmp" in the output's folder;
// one left behind by a killed job can be deleted.
inline constexpr const char* kTemporaryPrefix = ".program-";
inline constexpr const char* kTemporarySuffix = ".tmp";

}  // namespace jobs

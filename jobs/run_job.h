#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "jobs/job_files.h"
#include "jobs/messages.h"

namespace jobs {

// What a caller asks of a job. The texts are what the caller shows; the
// paths are the names the job opens and creates (a picker sets a text and
// its path to the same string). All strings are UTF-8, except that the
// paths are the platform's own names.
struct JobRequest {
  std::string inputText;
  std::string inputPath;
  std::string outputText;
  std::string outputPath;
  std::string passwordText;
};

// How a job ended: its one message, and the output's text and path as the
// job left them. An encryption appends ".crypt" to both; a decryption
// restores the plain file's extension on the path only.
struct JobResult {
  JobMessage message = JobMessage::MSG_DONE;
  std::string outputText;
  std::string outputPath;
};

// RunningFlag (job_files.h): a job loads it afresh at every poll and never
// sets or clears it.

// Where a job's progress goes: the range once, at the start, then each new
// position in order, each once; a run that moved it, or that fails where
// it could have, sets it back to 0 at its end. Called on the job's thread.
class ProgressSink {
 public:
  ProgressSink() = default;
  ProgressSink(const ProgressSink&) = delete;
  ProgressSink& operator=(const ProgressSink&) = delete;
  virtual ~ProgressSink() = default;

  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
};

// One encryption or decryption, start to end, on the calling thread: checks
// the request, picks the direction from the input's name (extension "crypt"
// in any letter case decrypts) and runs it. Showing the message, enabling
// a start button and clearing `running` afterwards are the caller's.
//
// Call it with `running` set to 1.
JobResult RunJob(const JobRequest& request, RunningFlag& running,
                 ProgressSink& progress, JobFiles& files = DiskFiles());

// The progress position for the body byte at `index` of `size`:
// 100 * index / (size + 1), truncated.
int ProgressPosition(std::int64_t index, std::int64_t size);

}  // namespace jobs

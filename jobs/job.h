#pragma once

// The state of one running job and the steps the two runs share. Internal
// to jobs/.

#include <cstdint>
#include <memory>
#include <string>

#include "cipher/keystream_register.h"
#include "jobs/job_files.h"
#include "jobs/messages.h"
#include "jobs/run_job.h"

namespace jobs {

struct Job {
  Job(const JobRequest& request, RunningFlag& running, ProgressSink& progress,
      JobFiles& files)
      : request(request),
        running(running),
        progress(progress),
        files(files),
        outputText(request.outputText),
        outputPath(request.outputPath) {}

  const JobRequest& request;
  RunningFlag& running;
  ProgressSink& progress;
  JobFiles& files;

  // The output's names as this job extends them.
  std::string outputText;
  std::string outputPath;

  cipher::KeystreamRegister keystream;
  std::string password;         // Windows-1251 bytes, 1 to 16 of them
  std::string inputExtension;   // lower-cased
  std::string outputExtension;  // lower-cased
  std::unique_ptr<InputFile> input;
  int shownProgress = -1;  // the last position sent to the sink
};

JobMessage RunEncryption(Job& job);
JobMessage RunDecryption(Job& job);

// Moves the bar to ProgressPosition(index, size) when that differs from
// what it shows.
void ReportProgress(Job& job, std::int64_t index, std::int64_t size);
// ReportProgress for every index from `begin` up to `end`, in order, in
// at most one step per position.
void ReportProgressRange(Job& job, std::int64_t begin, std::int64_t end,
                         std::int64_t size);
void ResetProgress(Job& job);

// The common ending of every job: closes the input if it is still open and
// returns the message.
JobMessage EndJob(Job& job, JobMessage message);

// Ends a job that has no output file yet: closes the input, moves the bar
// back to 0 if asked, and ends with the message.
JobMessage FailBeforeOutput(Job& job, JobMessage message, bool resetProgress);

// Ends a job whose output exists: closes both files, discards the output,
// moves the bar back to 0 and ends with the message.
JobMessage FailWithOutput(Job& job, std::unique_ptr<OutputFile> output,
                          JobMessage message);

// Loads the password into the job's register. False when the keystream
// would become constant, so that the password cannot be used.
bool LoadUsableKey(Job& job);

// Creates the output at the job's outputPath, refusing the input file
// itself under any of its names. Nothing on failure.
std::unique_ptr<OutputFile> CreateOutput(Job& job);

// Bytes of the body read, combined and written at a time.
inline constexpr std::size_t kBodyBlockSize = std::size_t{1} << 18U;

// Reads the body from the input's current position to its end, combines
// each byte with the next key byte and writes it, then commits the output.
// Works a block at a time: after each block's write it polls the running
// flag and reports the progress of each of the block's bytes. Ends the job
// in every case, with MSG_DONE when all went well; a failure ends it with
// the message of the first byte that failed, as if byte by byte.
JobMessage WriteBody(Job& job, std::unique_ptr<OutputFile> output);

}  // namespace jobs

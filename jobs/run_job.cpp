// The job launch: the request checks, the choice of direction, and the
// reporting that every job shares (progress and the common ending).

#include "jobs/run_job.h"

#include <algorithm>
#include <string>

#include "cipher/key_loading.h"
#include "format/windows1251.h"
#include "jobs/job.h"
#include "jobs/path_names.h"

namespace jobs {

int ProgressPosition(std::int64_t index, std::int64_t size) {
  return static_cast<int>(100 * index / (size + 1));
}

void ReportProgress(Job& job, std::int64_t index, std::int64_t size) {
  const int position = ProgressPosition(index, size);
  if (position != job.shownProgress) {
    job.shownProgress = position;
    job.progress.SetPosition(position);
  }
}

void ReportProgressRange(Job& job, std::int64_t begin, std::int64_t end,
                         std::int64_t size) {
  std::int64_t index = begin;
  while (index < end) {
    ReportProgress(job, index, size);
    // The first index past this position: 100 * i >= (position + 1) *
    // (size + 1).
    const std::int64_t position = ProgressPosition(index, size);
    const std::int64_t next = ((position + 1) * (size + 1) + 99) / 100;
    index = std::max(index + 1, next);
  }
}

void ResetProgress(Job& job) {
  job.shownProgress = 0;
  job.progress.SetPosition(0);
}

JobMessage EndJob(Job& job, JobMessage message) {
  job.input.reset();
  return message;
}

JobMessage FailBeforeOutput(Job& job, JobMessage message, bool resetProgress) {
  job.input.reset();
  if (resetProgress) {
    ResetProgress(job);
  }
  return EndJob(job, message);
}

namespace {

// The request's checks, in order; nothing when it may go ahead.
std::optional<JobMessage> CheckRequest(Job& job) {
  const JobRequest& request = job.request;
  if (request.inputText.empty()) {
    return JobMessage::MSG_NO_INPUT;
  }
  if (request.outputText.empty()) {
    return JobMessage::MSG_NO_OUTPUT;
  }
  // The cipher counts Windows-1251 bytes, one per character, so the length
  // is checked after the conversion.
  std::optional<std::string> password =
      format::Utf8ToWindows1251(request.passwordText);
  if (!password) {
    return format::CodePageAvailable() ? JobMessage::MSG_PASSWORD_CHARACTERS
                                       : JobMessage::MSG_CODE_PAGE_MISSING;
  }
  if (password->empty() || password->size() > cipher::kMaxPasswordLength) {
    return JobMessage::MSG_PASSWORD_LENGTH;
  }
  job.password = *std::move(password);
  return std::nullopt;
}

// The checks, the direction and the run; the message the job ends with.
JobMessage Run(Job& job) {
  if (const std::optional<JobMessage> refusal = CheckRequest(job)) {
    return EndJob(job, *refusal);
  }
  job.inputExtension = LowerAscii(PathExtension(job.request.inputText));
  job.outputExtension = LowerAscii(PathExtension(job.request.outputText));

  job.input = job.files.OpenInput(job.request.inputPath);
  if (!job.input) {
    return EndJob(job, JobMessage::MSG_INPUT_MISSING);
  }
  return job.inputExtension == kContainerExtension ? RunDecryption(job)
                                                   : RunEncryption(job);
}

}  // namespace

JobResult RunJob(const JobRequest& request, RunningFlag& running,
                 ProgressSink& progress, JobFiles& files) {
  Job job(request, running, progress, files);
  job.keystream.Reset();
  progress.SetRange(0, 100);
  const JobMessage message = Run(job);
  return {message, std::move(job.outputText), std::move(job.outputPath)};
}

}  // namespace jobs

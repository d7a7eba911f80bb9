// The job launch: the request checks, the choice of direction, and the
// reporting that every job shares (progress and the common ending).

#include "jobs/run_job.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "cipher/key_loading.h"
#include "jobs/job.h"
#include "jobs/path_names.h"
#include "jobs/windows1251.h"

namespace jobs {

int ProgressPosition(std::int64_t index, std::int64_t size) {
  return static_cast<int>(100 * index / (size + 1));
}

void ReportProgress(Job& job, std::int64_t index, std::int64_t size) {
  const int position = ProgressPosition(index, size);
  if (position != job.shownProgress) {
    job.shownProgress = position;
    job.context.window->SetProgressPosition(position);
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
  job.context.window->SetProgressPosition(0);
}

JobMessage EndJob(Job& job, JobMessage message) {
  job.context.window->ShowMessage(message);
  job.context.window->EnableStartButton(true);
  job.running.store(0);
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
  const JobContext& context = job.context;
  if (context.inputText->empty()) {
    return JobMessage::MSG_NO_INPUT;
  }
  if (context.outputText->empty()) {
    return JobMessage::MSG_NO_OUTPUT;
  }
  // The cipher counts Windows-1251 bytes, one per character, so the length
  // is checked after the conversion.
  std::optional<std::string> password =
      Utf8ToWindows1251(*context.passwordText);
  if (!password) {
    return JobMessage::MSG_PASSWORD_CHARACTERS;
  }
  if (password->empty() || password->size() > cipher::kMaxPasswordLength) {
    return JobMessage::MSG_PASSWORD_LENGTH;
  }
  job.password = *std::move(password);
  return std::nullopt;
}

}  // namespace

JobMessage RunJob(JobContext& context, RunningFlag& running, JobFiles& files) {
  assert(context.inputText && context.outputText && context.passwordText &&
         context.inputPath && context.outputPath && context.window);
  Job job(context, running, files);
  job.keystream.Reset();
  context.window->SetProgressRange(0, 100, 1);
  context.window->EnableStartButton(false);

  if (const std::optional<JobMessage> refusal = CheckRequest(job)) {
    return EndJob(job, *refusal);
  }
  job.inputExtension = LowerAscii(PathExtension(*context.inputText));
  job.outputExtension = LowerAscii(PathExtension(*context.outputText));

  job.input = files.OpenInput(*context.inputPath);
  if (!job.input) {
    return EndJob(job, JobMessage::MSG_INPUT_MISSING);
  }
  return job.inputExtension == kContainerExtension ? RunDecryption(job)
                                                   : RunEncryption(job);
}

}  // namespace jobs

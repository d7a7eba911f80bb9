// What both runs share once the header is settled: the output, the
// byte-by-byte body with progress and cancellation, and the failure endings.

#include <cstdint>

#include "cipher/key_loading.h"
#include "jobs/job.h"

namespace jobs {

JobMessage FailWithOutput(Job& job, std::unique_ptr<OutputFile> output,
                          JobMessage message) {
  job.input.reset();
  output->Discard();
  output.reset();
  ResetProgress(job);
  return EndJob(job, message);
}

bool LoadUsableKey(Job& job) {
  cipher::LoadKey(job.keystream, job.password);
  return !cipher::KeystreamBecomesConstant(job.keystream);
}

std::unique_ptr<OutputFile> CreateOutput(Job& job) {
  if (job.files.SameFile(*job.context.inputPath, *job.context.outputPath)) {
    return nullptr;
  }
  return job.files.CreateOutput(*job.context.outputPath);
}

JobMessage WriteBody(Job& job, std::unique_ptr<OutputFile> output) {
  const std::int64_t size = job.input->Size();
  for (std::int64_t index = job.input->Position(); index < size; ++index) {
    unsigned char byte = 0;
    if (!job.input->Read(&byte, 1)) {
      return FailWithOutput(job, std::move(output), JobMessage::MSG_READ_ERROR);
    }
    const std::optional<std::uint8_t> key = cipher::NextKeyByte(job.keystream);
    if (!key) {
      // The keystream has stopped yielding bits: the key is unusable.
      return FailWithOutput(job, std::move(output),
                            JobMessage::MSG_WRONG_PASSWORD);
    }
    byte ^= *key;
    const bool written = output->Write(&byte, 1);
    // The flag is read after the write, so the byte in hand when Cancel is
    // pressed still reaches the (then discarded) file.
    if (job.running.load() == 0) {
      return FailWithOutput(job, std::move(output), JobMessage::MSG_CANCELLED);
    }
    if (!written) {
      return FailWithOutput(job, std::move(output),
                            JobMessage::MSG_WRITE_ERROR);
    }
    ReportProgress(job, index, size);
  }
  job.input.reset();
  if (!output->Commit()) {
    // The last buffered bytes, the sync or the rename failed; Commit has
    // removed the temporary file.
    ResetProgress(job);
    return EndJob(job, JobMessage::MSG_WRITE_ERROR);
  }
  ResetProgress(job);
  return EndJob(job, JobMessage::MSG_DONE);
}

}  // namespace jobs

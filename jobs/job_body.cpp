// What both runs share once the header is settled: the output, the body in
// blocks with progress and cancellation, and the failure endings.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "cipher/key_loading.h"
#include "cipher/keystream_ring.h"
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
  if (job.files.SameFile(job.request.inputPath, job.outputPath)) {
    return nullptr;
  }
  return job.files.CreateOutput(job.outputPath, job.request.inputPath,
                                job.running);
}

JobMessage WriteBody(Job& job, std::unique_ptr<OutputFile> output) {
  const std::int64_t size = job.input->Size();
  std::int64_t index = job.input->Position();
  if (index < size) {
    // The key bytes of the loaded register, made ahead by generator
    // threads, one per core; this thread only reads, combines and writes.
    // One block of data and a ring of key blocks, whatever the file size.
    cipher::KeystreamRing keystream(
        job.keystream, cipher::KeystreamRing::ThreadsFor(
                           static_cast<std::uint64_t>(size - index)));
    const auto data = std::make_unique<std::uint8_t[]>(kBodyBlockSize);
    while (index < size) {
      const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(
          size - index, static_cast<std::int64_t>(kBodyBlockSize)));
      const std::size_t read = job.input->ReadBlock(data.get(), wanted);
      const std::size_t keyed = keystream.Combine(data.get(), read);
      const std::size_t written = output->WriteBlock(data.get(), keyed);
      // The flag is read after the write, so the block in hand when Cancel
      // is pressed still reaches the (then discarded) file.
      if (keyed > 0 && job.running.load() == 0) {
        return FailWithOutput(job, std::move(output),
                              JobMessage::MSG_CANCELLED);
      }
      ReportProgressRange(job, index,
                          index + static_cast<std::int64_t>(written), size);
      // The first byte that failed decides, as byte by byte: its write,
      // else its key byte, else its read.
      if (written < keyed) {
        return FailWithOutput(job, std::move(output),
                              JobMessage::MSG_WRITE_ERROR);
      }
      if (keyed < read) {
        // The keystream has stopped yielding bits: the key is unusable.
        return FailWithOutput(job, std::move(output),
                              JobMessage::MSG_WRONG_PASSWORD);
      }
      if (read < wanted) {
        return FailWithOutput(job, std::move(output),
                              JobMessage::MSG_READ_ERROR);
      }
      index += static_cast<std::int64_t>(wanted);
    }
  }
  // A file that yields more than its size said (a pseudo-file such as
  // /proc/cpuinfo says 0) would be cut short without a word.
  char beyond = 0;
  if (job.input->ReadBlock(&beyond, 1) != 0) {
    return FailWithOutput(job, std::move(output), JobMessage::MSG_READ_ERROR);
  }
  job.input.reset();
  if (!output->Commit(job.running)) {
    // The last buffered bytes, the sync or the rename failed, or Cancel came
    // first; Commit has removed the temporary file.
    ResetProgress(job);
    return EndJob(job, job.running.load() == 0 ? JobMessage::MSG_CANCELLED
                                               : JobMessage::MSG_WRITE_ERROR);
  }
  ResetProgress(job);
  return EndJob(job, JobMessage::MSG_DONE);
}

}  // namespace jobs

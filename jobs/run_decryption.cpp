// The decryption run: a container checked against the typed password and
// its own length, then written back as the plain file under its extension.

#include <optional>
#include <string>

#include "format/container_header.h"
#include "format/windows1251.h"
#include "jobs/job.h"
#include "jobs/path_names.h"

namespace jobs {

namespace {

JobMessage MessageFor(format::HeaderFault fault) {
  switch (fault) {
    case format::HeaderFault::kCutShort:
      return JobMessage::MSG_READ_ERROR;
    case format::HeaderFault::kWrongPassword:
      return JobMessage::MSG_WRONG_PASSWORD;
    case format::HeaderFault::kDamaged:
      return JobMessage::MSG_DAMAGED_INPUT;
  }
  return JobMessage::MSG_DAMAGED_INPUT;
}

}  // namespace

JobMessage RunDecryption(Job& job) {
  using format::HeaderPart;
  // The header in one read: a read that stops short fails the first field
  // it cuts, as a byte-by-byte reader would.
  std::string bytes(format::kMaxHeaderSize, '\0');
  bytes.resize(job.input->ReadBlock(bytes.data(), bytes.size()));
  const format::HeaderDecoding decoded =
      format::DecodeHeader(bytes, job.password, job.input->Size());
  const auto faultIn = [&](HeaderPart part) {
    return decoded.fault && decoded.faultyPart == part;
  };
  if (faultIn(HeaderPart::kPassword)) {
    return FailBeforeOutput(job, MessageFor(*decoded.fault), false);
  }
  if (!LoadUsableKey(job)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRONG_PASSWORD, false);
  }
  if (faultIn(HeaderPart::kExtension)) {
    return FailBeforeOutput(job, MessageFor(*decoded.fault), false);
  }
  // The decoder has refused every byte that cannot be part of a name.
  const std::optional<std::string> extension =
      format::ExtensionFromStoredBytes(decoded.header.extension);
  if (!extension) {
    return FailBeforeOutput(job, JobMessage::MSG_CODE_PAGE_MISSING, false);
  }
  // The name is settled before plainSize and the length are looked at.
  if (NamesFolder(job.outputPath) ||
      !RestoreExtension(job.outputPath, job.outputExtension, *extension)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
  }
  GuardContainerExtension(job.outputPath);
  if (decoded.fault) {
    return FailBeforeOutput(job, MessageFor(*decoded.fault), true);
  }
  if (!job.input->Seek(static_cast<std::int64_t>(decoded.size))) {
    return FailBeforeOutput(job, JobMessage::MSG_READ_ERROR, true);
  }
  std::unique_ptr<OutputFile> output = CreateOutput(job);
  if (!output) {
    // Cancel may end the wait for a pipe's reader.
    return FailBeforeOutput(job,
                            job.running.load() == 0
                                ? JobMessage::MSG_CANCELLED
                                : JobMessage::MSG_WRITE_ERROR,
                            true);
  }
  return WriteBody(job, std::move(output));
}

}  // namespace jobs

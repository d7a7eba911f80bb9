// The encryption run: a plain file into a container under a name that
// carries ".crypt".

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "format/container_header.h"
#include "format/windows1251.h"
#include "jobs/job.h"
#include "jobs/path_names.h"

namespace jobs {

namespace {

// The input name's extension, in the letter case of the name: the last X
// bytes of the input path, where X is the length of the input extension.
std::string_view InputNameExtension(const Job& job) {
  const std::string& path = job.request.inputPath;
  const std::size_t length = std::min(job.inputExtension.size(), path.size());
  return std::string_view(path).substr(path.size() - length);
}

}  // namespace

JobMessage RunEncryption(Job& job) {
  if (job.input->Size() > format::kMaxPlainSize) {
    return FailBeforeOutput(job, JobMessage::MSG_INPUT_TOO_LARGE, false);
  }
  // Windows-1251 bytes, always: a reader could not tell other bytes apart.
  const std::optional<std::string> extension =
      format::StoredExtensionBytes(InputNameExtension(job));
  if (!extension) {
    return FailBeforeOutput(job,
                            format::CodePageAvailable()
                                ? JobMessage::MSG_EXTENSION_CHARACTERS
                                : JobMessage::MSG_CODE_PAGE_MISSING,
                            false);
  }
  if (!LoadUsableKey(job)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRONG_PASSWORD, false);
  }
  if (NamesFolder(job.outputPath) ||
      !AddContainerExtension(job.outputText, job.outputPath,
                             job.outputExtension)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
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
  const std::string header = format::EncodeHeader(
      {job.password, *extension, static_cast<std::int32_t>(job.input->Size())});
  if (output->WriteBlock(header.data(), header.size()) != header.size()) {
    return FailWithOutput(job, std::move(output), JobMessage::MSG_WRITE_ERROR);
  }
  return WriteBody(job, std::move(output));
}

}  // namespace jobs

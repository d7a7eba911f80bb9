// The encryption run: a plain file into a container under a name that
// carries ".crypt".

#include <algorithm>
#include <string>
#include <string_view>

#include "jobs/container_format.h"
#include "jobs/job.h"
#include "jobs/path_names.h"
#include "jobs/windows1251.h"

namespace jobs {

namespace {

bool WriteInt32(OutputFile& output, std::int32_t value) {
  const auto bytes = EncodeInt32(value);
  return output.Write(bytes.data(), bytes.size());
}

bool WriteWord(OutputFile& output, std::uint16_t value) {
  const auto bytes = EncodeWord(value);
  return output.Write(bytes.data(), bytes.size());
}

// The input name's extension, in the letter case of the name: the last X
// bytes of the input path, where X is the length of the input extension.
std::string_view InputNameExtension(const Job& job) {
  const std::string& path = *job.context.inputPath;
  const std::size_t length = std::min(job.inputExtension.size(), path.size());
  return std::string_view(path).substr(path.size() - length);
}

bool WriteHeader(const Job& job, OutputFile& output) {
  const std::string& password = job.password;
  if (!WriteInt32(output, static_cast<std::int32_t>(password.size()))) {
    return false;
  }
  for (std::size_t i = 0; i < password.size(); ++i) {
    if (!WriteWord(output, PasswordWord(password[i], i))) {
      return false;
    }
  }
  const std::string extension = StoredExtensionBytes(InputNameExtension(job));
  if (!WriteInt32(output, static_cast<std::int32_t>(extension.size()))) {
    return false;
  }
  for (const char byte : extension) {
    if (!output.Write(&byte, 1)) {
      return false;
    }
  }
  return WriteInt32(output, static_cast<std::int32_t>(job.input->Size()));
}

}  // namespace

JobMessage RunEncryption(Job& job) {
  if (job.input->Size() > kMaxPlainSize) {
    return FailBeforeOutput(job, JobMessage::MSG_INPUT_TOO_LARGE, false);
  }
  if (!LoadUsableKey(job)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRONG_PASSWORD, false);
  }
  JobContext& context = job.context;
  if (!AddContainerExtension(*context.outputText, *context.outputPath,
                             job.outputExtension)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
  }
  std::unique_ptr<OutputFile> output = CreateOutput(job);
  if (!output) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
  }
  if (!WriteHeader(job, *output)) {
    return FailWithOutput(job, std::move(output), JobMessage::MSG_WRITE_ERROR);
  }
  return WriteBody(job, std::move(output));
}

}  // namespace jobs

// The decryption run: a container checked against the typed password and
// its own length, then written back as the plain file under its extension.

#include <array>
#include <cstddef>
#include <string>

#include "jobs/container_format.h"
#include "jobs/job.h"
#include "jobs/path_names.h"
#include "jobs/windows1251.h"

namespace jobs {

namespace {

bool ReadInt32(InputFile& input, std::int32_t& value) {
  std::array<std::byte, 4> bytes{};
  if (!input.Read(bytes.data(), bytes.size())) {
    return false;
  }
  value = DecodeInt32(bytes);
  return true;
}

bool ReadWord(InputFile& input, std::uint16_t& value) {
  std::array<std::byte, 2> bytes{};
  if (!input.Read(bytes.data(), bytes.size())) {
    return false;
  }
  value = DecodeWord(bytes);
  return true;
}

// Compares the stored password words with the typed password, up to the
// first that differs.
std::optional<JobMessage> CheckPassword(Job& job) {
  const std::string& password = job.password;
  std::int32_t storedLength = 0;
  if (!ReadInt32(*job.input, storedLength)) {
    return JobMessage::MSG_READ_ERROR;
  }
  if (storedLength != static_cast<std::int32_t>(password.size())) {
    return JobMessage::MSG_WRONG_PASSWORD;
  }
  for (std::size_t n = 0; n < password.size(); ++n) {
    std::uint16_t word = 0;
    if (!ReadWord(*job.input, word)) {
      return JobMessage::MSG_READ_ERROR;
    }
    if (word != PasswordWord(password[n], n)) {
      return JobMessage::MSG_WRONG_PASSWORD;
    }
  }
  return std::nullopt;
}

// Reads the stored extension: the bytes up to the first zero byte, as
// UTF-8. Every stored byte is consumed.
std::optional<JobMessage> ReadExtension(Job& job, std::string& extension) {
  std::int32_t length = 0;
  if (!ReadInt32(*job.input, length)) {
    return JobMessage::MSG_READ_ERROR;
  }
  if (length > kMaxExtensionLength) {
    return JobMessage::MSG_DAMAGED_INPUT;
  }
  std::string extensionBuffer;
  for (std::int32_t i = 0; i < length; ++i) {
    char byte = 0;
    if (!job.input->Read(&byte, 1)) {
      return JobMessage::MSG_READ_ERROR;
    }
    extensionBuffer += byte;
  }
  // The stored extension ends at its first zero byte, if any.
  const std::string stored =
      extensionBuffer.substr(0, extensionBuffer.find('\0'));
  // A folder separator would let the restored name point outside the
  // chosen folder; no container written from a file name holds one.
  if (stored.find_first_of("/\\") != std::string::npos) {
    return JobMessage::MSG_DAMAGED_INPUT;
  }
  extension = ExtensionFromStoredBytes(stored);
  return std::nullopt;
}

}  // namespace

JobMessage RunDecryption(Job& job) {
  if (const std::optional<JobMessage> refusal = CheckPassword(job)) {
    return FailBeforeOutput(job, *refusal, false);
  }
  if (!LoadUsableKey(job)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRONG_PASSWORD, false);
  }
  std::string storedExtension;
  if (const std::optional<JobMessage> refusal =
          ReadExtension(job, storedExtension)) {
    return FailBeforeOutput(job, *refusal, false);
  }
  std::string& outputPath = *job.context.outputPath;
  if (!RestoreExtension(outputPath, job.outputExtension, storedExtension)) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
  }
  GuardContainerExtension(outputPath);

  std::int32_t plainSize = 0;
  if (!ReadInt32(*job.input, plainSize)) {
    return FailBeforeOutput(job, JobMessage::MSG_READ_ERROR, true);
  }
  // 64-bit arithmetic: a container of a plain file near the 2 GiB limit is
  // itself larger than 2 GiB.
  if (job.input->Size() - job.input->Position() != plainSize) {
    return FailBeforeOutput(job, JobMessage::MSG_DAMAGED_INPUT, true);
  }
  std::unique_ptr<OutputFile> output = CreateOutput(job);
  if (!output) {
    return FailBeforeOutput(job, JobMessage::MSG_WRITE_ERROR, true);
  }
  return WriteBody(job, std::move(output));
}

}  // namespace jobs

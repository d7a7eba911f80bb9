#pragma once

#include <array>
#include <string_view>

namespace jobs {

// The texts that end a job; every job ends with exactly one of them.
// NOLINTBEGIN(readability-identifier-naming): the names are the system's own.
enum class JobMessage {
  MSG_NO_INPUT,
  MSG_NO_OUTPUT,
  MSG_PASSWORD_LENGTH,
  MSG_INPUT_MISSING,
  MSG_READ_ERROR,
  MSG_WRONG_PASSWORD,
  MSG_DAMAGED_INPUT,
  MSG_CANCELLED,
  MSG_WRITE_ERROR,
  MSG_DONE,
  // An input too large for the container's 32-bit plainSize.
  MSG_INPUT_TOO_LARGE,
  // A password with a character that Windows-1251 cannot hold.
  MSG_PASSWORD_CHARACTERS,
  // An input whose name extension the container cannot store: a character
  // Windows-1251 cannot hold, or a control character.
  MSG_EXTENSION_CHARACTERS,
  // The system has no Windows-1251 converter.
  MSG_CODE_PAGE_MISSING,
};
// NOLINTEND(readability-identifier-naming)

inline constexpr std::array kAllMessages = {
    JobMessage::MSG_NO_INPUT,
    JobMessage::MSG_NO_OUTPUT,
    JobMessage::MSG_PASSWORD_LENGTH,
    JobMessage::MSG_INPUT_MISSING,
    JobMessage::MSG_READ_ERROR,
    JobMessage::MSG_WRONG_PASSWORD,
    JobMessage::MSG_DAMAGED_INPUT,
    JobMessage::MSG_CANCELLED,
    JobMessage::MSG_WRITE_ERROR,
    JobMessage::MSG_DONE,
    JobMessage::MSG_INPUT_TOO_LARGE,
    JobMessage::MSG_PASSWORD_CHARACTERS,
    JobMessage::MSG_EXTENSION_CHARACTERS,
    JobMessage::MSG_CODE_PAGE_MISSING,
};

// The message's text, UTF-8.
std::string_view MessageText(JobMessage message);

}  // namespace jobs

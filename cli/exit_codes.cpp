#include "cli/exit_codes.h"

namespace cli {

int ExitCodeFor(jobs::JobMessage message) {
  using jobs::JobMessage;
  switch (message) {
    case JobMessage::MSG_DONE:
      return 0;
    case JobMessage::MSG_NO_INPUT:
      return 3;
    case JobMessage::MSG_NO_OUTPUT:
      return 4;
    case JobMessage::MSG_PASSWORD_LENGTH:
      return 5;
    case JobMessage::MSG_INPUT_MISSING:
      return 6;
    case JobMessage::MSG_READ_ERROR:
      return 7;
    case JobMessage::MSG_WRONG_PASSWORD:
      return 8;
    case JobMessage::MSG_DAMAGED_INPUT:
      return 9;
    case JobMessage::MSG_CANCELLED:
      return 10;
    case JobMessage::MSG_WRITE_ERROR:
      return 11;
    case JobMessage::MSG_INPUT_TOO_LARGE:
      return 12;
    case JobMessage::MSG_PASSWORD_CHARACTERS:
      return 13;
    case JobMessage::MSG_EXTENSION_CHARACTERS:
      return 14;
    case JobMessage::MSG_CODE_PAGE_MISSING:
      return 15;
  }
  return 1;
}

}  // namespace cli

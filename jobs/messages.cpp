#include "jobs/messages.h"

namespace jobs {

std::string_view MessageText(JobMessage message) {
  switch (message) {
    case JobMessage::MSG_NO_INPUT:
      return "трябва да избереш входен файл";
    case JobMessage::MSG_NO_OUTPUT:
      return "трябва да избереш изходен файл";
    case JobMessage::MSG_PASSWORD_LENGTH:
      return "дължината на паролата трябва да бъде поне един и най-много "
             "шестнадесет символа";
    case JobMessage::MSG_INPUT_MISSING:
      return "входният файл не съществува";
    case JobMessage::MSG_READ_ERROR:
      return "грешка при четенето на входния файл";
    case JobMessage::MSG_WRONG_PASSWORD:
      return "грешна парола";
    case JobMessage::MSG_DAMAGED_INPUT:
      return "грешка - повреден входен файл";
    case JobMessage::MSG_CANCELLED:
      return "отказан процес";
    case JobMessage::MSG_WRITE_ERROR:
      return "грешка при писането в изходния файл";
    case JobMessage::MSG_DONE:
      return "готово";
    case JobMessage::MSG_INPUT_TOO_LARGE:
      return "входният файл е твърде голям";
    case JobMessage::MSG_PASSWORD_CHARACTERS:
      return "паролата съдържа знак, който не може да се запише в "
             "кодовата таблица Windows-1251";
    case JobMessage::MSG_EXTENSION_CHARACTERS:
      return "разширението на входния файл съдържа знак, който не може да се "
             "запише в кодовата таблица Windows-1251";
    case JobMessage::MSG_CODE_PAGE_MISSING:
      return "кодовата таблица Windows-1251 не е налична в системата";
  }
  return {};
}

}  // namespace jobs

#include "app/qt/password_validator.h"

#include "format/windows1251.h"

namespace app {

QValidator::State Windows1251Validator::validate(QString& input,
                                                 int& /*position*/) const {
  return format::Utf8ToWindows1251(input.toStdString()) ? Acceptable : Invalid;
}

}  // namespace app

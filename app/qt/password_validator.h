#pragma once

#include <QValidator>

namespace app {

// Accepts only texts whose every character Windows-1251 can hold, the code
// page in which the job stores the password.
class Windows1251Validator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace app

#include "shell/SjisLengthValidator.h"

#include <string>

#include "web/TextOps.h"

namespace vormla {

QValidator::State SjisLengthValidator::validate(QString& input, int& /*pos*/) const {
  const std::string sjis = Utf8ToSjis(input.toStdString());
  return static_cast<int>(sjis.size()) <= limit_ ? Acceptable : Invalid;
}

}  // namespace vormla

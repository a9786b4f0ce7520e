#include "shell/KeywordValidator.h"

#include <string>

#include "text/KeywordText.h"
#include "text/TextOps.h"

namespace vormla {

QValidator::State KeywordValidator::validate(QString& input, int& /*pos*/) const {
  const std::string utf8 = input.toStdString();
  if (RefusedKeywordCharacter(utf8)) return Invalid;
  return static_cast<int>(Utf8ToSjis(utf8).size()) <= limit_ ? Acceptable : Invalid;
}

}  // namespace vormla

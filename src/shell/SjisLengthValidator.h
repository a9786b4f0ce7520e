// The keyword box's validator: its limit counts bytes of the Shift-JIS text, as
// the site receives it, not characters.
#pragma once

#include <QValidator>

namespace vormla {

class SjisLengthValidator : public QValidator {
 public:
  SjisLengthValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
  State validate(QString& input, int& pos) const override;

 private:
  int limit_;
};

}  // namespace vormla

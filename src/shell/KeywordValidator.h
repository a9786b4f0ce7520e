// The keyword box's validator: its limit counts bytes of the Shift-JIS text, as
// the site receives it, not characters; and it takes no character that the
// search could not send as written (one Shift-JIS cannot hold would go out as
// "?", a control character as %01).
#pragma once

#include <QValidator>

namespace vormla {

class KeywordValidator : public QValidator {
 public:
  KeywordValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
  State validate(QString& input, int& pos) const override;

 private:
  int limit_;
};

}  // namespace vormla

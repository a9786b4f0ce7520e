// The digits-only, right-aligned edit box of the four price bounds: at most 9
// ASCII digits, input method off.
#pragma once

#include <QLineEdit>

namespace vormla {

class DigitsEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DigitsEdit(QWidget* parent = nullptr);
};

}  // namespace vormla

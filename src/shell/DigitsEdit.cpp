#include "shell/DigitsEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace vormla {

DigitsEdit::DigitsEdit(QWidget* parent) : QLineEdit(parent) {
  // Only ASCII digits: \d would also let full-width and other scripts' digits in.
  setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setMaxLength(9);
  // Digits need no composition; keeping the input method off lets them reach the box.
  setAttribute(Qt::WA_InputMethodEnabled, false);
}

}  // namespace vormla

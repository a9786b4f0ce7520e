// Qt repaints accelerator underlines itself, so the repaint fix has nothing to do.
// The component is kept so that the window's creation keeps its familiar steps.
#pragma once

#include <QObject>

namespace vormla {

class TVistaAltFix : public QObject {
  Q_OBJECT
 public:
  explicit TVistaAltFix(QObject* owner) : QObject(owner) {}
};

}  // namespace vormla

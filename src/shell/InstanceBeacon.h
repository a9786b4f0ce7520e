// Starting the program while it runs brings the running window forward: the
// running copy listens on a local socket beside its lock file, a second copy
// knocks there and ends.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QWidget;

namespace vormla {

// The socket's path for a lock file: the same name with ".socket" for ".lock".
QString BeaconPath(const QString& lockPath);

class InstanceBeacon : public QObject {
 public:
  explicit InstanceBeacon(QString path, QObject* parent = nullptr);
  // Listens (only the holder of the lock calls this, so a socket found there is
  // a dead copy's); each knock runs onKnock. False when it cannot listen: the
  // program then runs without.
  bool Listen(std::function<void()> onKnock);
  // Knocks at the running copy's beacon; false when nobody listened.
  static bool Knock(const QString& path);

 private:
  QString path_;
  QLocalServer* server_ = nullptr;
  std::function<void()> onKnock_;
};

// Shows the window as it was before it was minimised, on top and active.
void BringForward(QWidget* window);

}  // namespace vormla

#include "shell/InstanceBeacon.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace vormla {

namespace {

constexpr int kKnockWaitMs = 2000;

}  // namespace

QString BeaconPath(const QString& lockPath) {
  QString path = lockPath;
  if (path.endsWith(QStringLiteral(".lock"))) path.chop(5);
  return path + QStringLiteral(".socket");
}

InstanceBeacon::InstanceBeacon(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

bool InstanceBeacon::Listen(std::function<void()> onKnock) {
  onKnock_ = std::move(onKnock);
  QLocalServer::removeServer(path_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      // Nothing is read: a connection is the whole message.
      socket->disconnectFromServer();
      socket->deleteLater();
      if (onKnock_) onKnock_();
    }
  });
  return server_->listen(path_);
}

bool InstanceBeacon::Knock(const QString& path) {
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(kKnockWaitMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kKnockWaitMs);
  return true;
}

void BringForward(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace vormla

#include "shell/LauncherProgress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantMap>
#include <algorithm>
#include <atomic>

namespace vormla {

namespace {

std::atomic<bool> taskbarReady{false};
// The last fraction shown, so that a state change keeps the fill it had.
double lastProgress = 0.0;

bool SendUpdate(double progress, bool visible) {
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kLauncherEntryPath), QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"));
  QVariantMap properties;
  properties.insert(QStringLiteral("progress"), progress);
  properties.insert(QStringLiteral("progress-visible"), visible);
  signal << QString::fromLatin1(kLauncherEntryUri) << properties;
  return QDBusConnection::sessionBus().send(signal);
}

}  // namespace

bool InitializeTaskbarAPI() {
  if (taskbarReady) return true;
  taskbarReady = QDBusConnection::sessionBus().isConnected();
  return taskbarReady;
}

bool SetTaskbarProgressState(TaskBarProgressState state) {
  if (!taskbarReady) return false;
  switch (state) {
    case tbpsIndeterminate:
      return SendUpdate(0.0, true);
    case tbpsNormal:
    case tbpsError:
    case tbpsPaused:
      return SendUpdate(lastProgress, true);
    case tbpsNone:
      break;
  }
  lastProgress = 0.0;
  return SendUpdate(0.0, false);
}

bool SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) {
  if (!taskbarReady) return false;
  double progress = 0.0;
  if (maximum > 0) progress = std::clamp(static_cast<double>(current) / static_cast<double>(maximum), 0.0, 1.0);
  lastProgress = progress;
  return SendUpdate(progress, true);
}

}  // namespace vormla

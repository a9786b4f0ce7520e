#include "desktop/W7taskbar.h"

#include <QDBusConnection>

namespace vormla {

bool InitializeTaskbarAPI() {
  return QDBusConnection::sessionBus().isConnected();
}

}  // namespace vormla

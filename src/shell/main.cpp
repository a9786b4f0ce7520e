// vormla-search: the program entry. One copy at a time; the window does the rest.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <exception>

#include "catalogue/CategoryDatabase.h"
#include "catalogue/Settings.h"
#include "shell/AppServices.h"
#include "shell/AppSetup.h"
#include "shell/MainWindow.h"

namespace {

// The lock another running copy holds; a lock left by a killed copy is taken over.
QString LockFilePath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + QStringLiteral("/Vormla_Search.lock");
}

}  // namespace

int main(int argc, char* argv[]) {
  // Before anything else, so that a second copy ends without touching the screen.
  QLockFile lock(LockFilePath());
  if (!lock.tryLock(0)) return 1;

  QApplication app(argc, argv);
  vormla::PrepareApplication(app);
  vormla::QtServices services;
  try {
    vormla::MainWindow window(services, vormla::CategoryDatabase::DefaultPath(), vormla::SettingsPath());
    window.show();
    QApplication::exec();
  } catch (const std::exception& error) {
    vormla::Message message;
    message.Text = QString::fromStdString(error.what());
    message.Caption = vormla::ApplicationTitle();
    message.Symbol = vormla::Message::Icon::Critical;
    services.ShowMessage(nullptr, message);
  } catch (...) {
    vormla::Message message;
    message.Caption = vormla::ApplicationTitle();
    message.Symbol = vormla::Message::Icon::Critical;
    services.ShowMessage(nullptr, message);
  }
  lock.unlock();
  return 0;
}

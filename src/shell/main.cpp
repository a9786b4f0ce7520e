// vormla-search: the program entry. One copy at a time (a second one brings the
// first window forward); the window does the rest.
#include <QApplication>
#include <QLockFile>
#include <QTimer>
#include <exception>

#include "settings/AppPaths.h"
#include "shell/AppServices.h"
#include "shell/AppSetup.h"
#include "shell/CloseOnSignal.h"
#include "shell/InstanceBeacon.h"
#include "shell/MainWindow.h"

int main(int argc, char* argv[]) {
  vormla::CloseOnSignal closeOnSignal;
  // Before anything else, so that a second copy ends without touching the screen.
  // The lock another running copy holds; a lock left by a killed copy is taken over.
  // Without any runtime folder the program runs unguarded rather than not at all.
  const std::string lockPath = vormla::InstanceLockFile();
  QLockFile lock(QString::fromStdString(lockPath));
  const QString beaconPath = vormla::BeaconPath(QString::fromStdString(lockPath));
  if (!lockPath.empty() && !lock.tryLock(0)) {
    // The running copy's window comes forward instead; nothing is shown here.
    QCoreApplication knocker(argc, argv);
    vormla::InstanceBeacon::Knock(beaconPath);
    return 1;
  }

  QApplication app(argc, argv);
  vormla::PrepareApplication(app);
  vormla::QtServices services;
  try {
    const vormla::AppPaths paths = vormla::ProgramPaths();
    vormla::MainWindow window(services, paths.Catalogue, paths.Settings, vormla::AccountFile());
    window.show();
    vormla::InstanceBeacon beacon(beaconPath);
    if (!lockPath.empty()) beacon.Listen([&window] { vormla::BringForward(&window); });
    // Queued behind the start-up load that the first show posted.
    QTimer::singleShot(0, &window, [&] { closeOnSignal.Watch(&window); });
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

#include "viewer/ViewerServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace vormla::viewer {

namespace {

// systemctl answers at once or not at all; a stuck user manager must not hang the window.
constexpr int kCommandMilliseconds = 30000;

}  // namespace

void QtViewerServices::ShowMessage(QWidget* owner, const Message& message) { boxes_.ShowMessage(owner, message); }

QString QtViewerServices::ChooseFile(QWidget* owner, const QString& title, const QString& filter,
                                     const QString& start) {
  return QFileDialog::getOpenFileName(owner, title, start, filter);
}

QString QtViewerServices::ChooseFolder(QWidget* owner, const QString& title, const QString& start) {
  return boxes_.ChooseFolder(owner, title, start);
}

bool QtViewerServices::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

CommandOutcome QtViewerServices::RunCommand(const QStringList& command) {
  CommandOutcome outcome;
  if (command.isEmpty()) return outcome;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(command.front(), command.mid(1));
  if (!process.waitForStarted(kCommandMilliseconds)) {
    outcome.Output = process.errorString();
    return outcome;
  }
  if (!process.waitForFinished(kCommandMilliseconds)) {
    process.kill();
    process.waitForFinished();
    outcome.Output = QString::fromUtf8(process.readAll());
    return outcome;
  }
  outcome.Output = QString::fromUtf8(process.readAll());
  if (process.exitStatus() == QProcess::NormalExit) outcome.ExitCode = process.exitCode();
  return outcome;
}

QString QtViewerServices::CliProgram() const {
  // The vormla-cli installed or built beside this program, else the one on PATH.
  const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/vormla-cli");
  return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("vormla-cli");
}

}  // namespace vormla::viewer

#include "shell/AppServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "shell/LauncherProgress.h"

namespace vormla {

Answer QtServices::ShowMessage(QWidget* owner, const Message& message) {
  // Built by hand: the static helpers cannot keep the box on top.
  QMessageBox box(owner);
  box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
  box.setWindowTitle(message.Caption);
  box.setText(message.Text);
  switch (message.Symbol) {
    case Message::Icon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case Message::Icon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case Message::Icon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case Message::Icon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  if (message.Kind == Message::Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(message.DefaultNo ? QMessageBox::No : QMessageBox::Yes);
    // Closing the box by Escape or the close box answers No, as on Windows.
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
  }
  const int result = box.exec();
  if (message.Kind == Message::Buttons::Ok) return Answer::Ok;
  return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtServices::ChooseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
  return QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtServices::ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                                   const QString& defaultSuffix, const QString& proposedPath) {
  // A path given as the folder opens the dialog in its folder with its name selected.
  QFileDialog dialog(owner, title, proposedPath, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The overwrite question then names the file that will really be written.
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.selectedFiles().value(0);
}

void QtServices::Beep() { QApplication::beep(); }

void QtServices::Alert(QWidget* window) { QApplication::alert(window, 0); }

bool QtServices::OpenFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void QtServices::SetBusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }

void QtServices::RestoreCursor() {
  if (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
}

bool QtServices::InitializeTaskbarAPI() { return vormla::InitializeTaskbarAPI(); }

bool QtServices::SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) {
  return vormla::SetTaskbarProgressValue(current, maximum);
}

bool QtServices::SetTaskbarProgressState(TaskBarProgressState state) { return vormla::SetTaskbarProgressState(state); }

void QtServices::TerminateApplication() { QCoreApplication::exit(0); }

}  // namespace vormla

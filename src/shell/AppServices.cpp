#include "shell/AppServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "desktop/W7taskbar.h"

namespace vormla {

TAnswer TQtServices::ShowMessage(QWidget* owner, const TMessage& message) {
  // Built by hand: the static helpers cannot keep the box on top.
  QMessageBox box(owner);
  box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
  box.setWindowTitle(message.Caption);
  box.setText(message.Text);
  switch (message.Symbol) {
    case TMessage::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case TMessage::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case TMessage::Icon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  if (message.Kind == TMessage::Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(message.DefaultNo ? QMessageBox::No : QMessageBox::Yes);
    // Closing the box by Escape or the close box answers No, as on Windows.
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
  }
  const int result = box.exec();
  if (message.Kind == TMessage::Buttons::Ok) return TAnswer::Ok;
  return result == QMessageBox::Yes ? TAnswer::Yes : TAnswer::No;
}

QString TQtServices::ChooseFolder(QWidget* owner, const QString& title) {
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

QString TQtServices::ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                                    const QString& proposedName) {
  return QFileDialog::getSaveFileName(owner, title, proposedName, filter);
}

void TQtServices::Beep() { QApplication::beep(); }

void TQtServices::Alert(QWidget* window) { QApplication::alert(window, 0); }

bool TQtServices::OpenFile(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TQtServices::SetBusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }

void TQtServices::RestoreCursor() {
  if (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
}

bool TQtServices::InitializeTaskbarAPI() { return vormla::InitializeTaskbarAPI(); }

bool TQtServices::SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) {
  return vormla::SetTaskbarProgressValue(current, maximum);
}

bool TQtServices::SetTaskbarProgressState(TTaskBarProgressState state) {
  return vormla::SetTaskbarProgressState(state);
}

void TQtServices::TerminateApplication() { QCoreApplication::exit(0); }

}  // namespace vormla

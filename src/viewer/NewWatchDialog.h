// Asks for a new watch's name and the settings it starts from: the main
// window's current settings file or another one saved by it.
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace vormla::viewer {

class ViewerServices;

class NewWatchDialog : public QDialog {
  Q_OBJECT

 public:
  NewWatchDialog(ViewerServices& services, const QString& windowSettings, QWidget* parent = nullptr);

  QString Name() const;
  QString SettingsFile() const;

 private:
  ViewerServices& services_;
  QString windowSettings_;
  QLineEdit* name_;
  QRadioButton* fromWindow_;
  QLineEdit* otherFile_;
};

}  // namespace vormla::viewer

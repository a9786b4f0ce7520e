// Everything the results viewer does outside itself: message boxes, file and
// folder dialogs, the browser, short system commands (systemctl) and where
// vormla-cli is. Tests hand the viewer a recording substitute.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include "shell/AppServices.h"

class QWidget;

namespace vormla::viewer {

struct CommandOutcome {
  int ExitCode = -1;  // -1: it did not start or did not end normally
  QString Output;     // standard output and error together
};

class ViewerServices {
 public:
  virtual ~ViewerServices() = default;
  virtual void ShowMessage(QWidget* owner, const Message& message) = 0;
  // The chosen result file or folder, "" when the user cancelled.
  virtual QString ChooseFile(QWidget* owner, const QString& title, const QString& filter, const QString& start) = 0;
  virtual QString ChooseFolder(QWidget* owner, const QString& title, const QString& start) = 0;
  virtual bool OpenUrl(const QUrl& url) = 0;
  // Runs a short command to its end; command[0] is the program.
  virtual CommandOutcome RunCommand(const QStringList& command) = 0;
  // The vormla-cli to start for a watch run.
  virtual QString CliProgram() const = 0;
};

class QtViewerServices : public ViewerServices {
 public:
  void ShowMessage(QWidget* owner, const Message& message) override;
  QString ChooseFile(QWidget* owner, const QString& title, const QString& filter, const QString& start) override;
  QString ChooseFolder(QWidget* owner, const QString& title, const QString& start) override;
  bool OpenUrl(const QUrl& url) override;
  CommandOutcome RunCommand(const QStringList& command) override;
  QString CliProgram() const override;

 private:
  QtServices boxes_;
};

}  // namespace vormla::viewer

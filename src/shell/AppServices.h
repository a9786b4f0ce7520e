// Everything the window does outside itself: modal boxes and dialogs, sounds,
// the taskbar, opening a file, the screen cursor and ending the application.
// The window is given one of these; tests hand it a recording substitute, and
// QtServices is the only code that calls the Qt facilities behind it.
#pragma once

#include <QString>
#include <cstdint>

#include "shell/LauncherProgress.h"

class QWidget;

namespace vormla {

// A message box as the program asks for it. Questions are Yes/No with the
// question icon, notices OK with the information icon; the standard error box
// shows an error with the critical icon; the save dialog's replace question,
// which Start repeats, has the warning icon. Boxes are always topmost.
struct Message {
  enum class Buttons { Ok, YesNo };
  enum class Icon { Information, Question, Warning, Critical };
  QString Text;  // lines separated by "\n"
  QString Caption;
  Buttons Kind = Buttons::Ok;
  Icon Symbol = Icon::Information;
  bool DefaultNo = false;  // Yes/No boxes: No is the default button
};

enum class Answer { Ok, Yes, No };

class AppServices {
 public:
  virtual ~AppServices() = default;

  virtual Answer ShowMessage(QWidget* owner, const Message& message) = 0;
  // The chosen folder, or an empty text when the user cancelled. The dialog opens
  // in startFolder (none given: no folder preselected).
  virtual QString ChooseFolder(QWidget* owner, const QString& title, const QString& startFolder) = 0;
  // The chosen file, or an empty text when the user cancelled. The dialog opens on
  // proposedPath (a name alone: in the working folder), adds defaultSuffix to a
  // name typed without one, and asks before an existing file is overwritten.
  virtual QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposedPath) = 0;
  virtual void Beep() = 0;
  // Draws the user's attention to the window until it is activated.
  virtual void Alert(QWidget* window) = 0;
  // Opens a file with the desktop's program for it; false when that failed.
  virtual bool OpenFile(const QString& path) = 0;
  virtual void SetBusyCursor() = 0;
  virtual void RestoreCursor() = 0;
  // Whether launcher progress can be shown at all (a session bus is reachable).
  virtual bool InitializeTaskbarAPI() = 0;
  // Launcher progress: current of maximum, or a state (tbpsNone removes it).
  virtual bool SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) = 0;
  virtual bool SetTaskbarProgressState(TaskBarProgressState state) = 0;
  // Ends the event loop without a close request.
  virtual void TerminateApplication() = 0;
};

// The real services over Qt.
class QtServices : public AppServices {
 public:
  Answer ShowMessage(QWidget* owner, const Message& message) override;
  QString ChooseFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
  QString ChooseSaveFile(QWidget* owner, const QString& title, const QString& filter, const QString& defaultSuffix,
                         const QString& proposedPath) override;
  void Beep() override;
  void Alert(QWidget* window) override;
  bool OpenFile(const QString& path) override;
  void SetBusyCursor() override;
  void RestoreCursor() override;
  bool InitializeTaskbarAPI() override;
  bool SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) override;
  bool SetTaskbarProgressState(TaskBarProgressState state) override;
  void TerminateApplication() override;
};

}  // namespace vormla

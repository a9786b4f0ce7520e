// Shared pieces of the window tests: recording services, a private program
// folder with a copy of a test catalogue, and helpers that act on the tree.
#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QVariantMap>
#include <QWidget>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "shell/AppServices.h"
#include "shell/MainWindow.h"

namespace vormla::test {

// Records every box and answers from a queue (Yes/Ok when the queue is empty).
class FakeServices : public AppServices {
 public:
  Answer ShowMessage(QWidget*, const Message& message) override {
    Messages.push_back(message);
    Events << QStringLiteral("show ") + message.Caption;
    if (OnMessage) OnMessage(message);
    Events << QStringLiteral("answered ") + message.Caption;
    if (message.Kind == Message::Buttons::Ok) return Answer::Ok;
    if (Answers.empty()) return Answer::Yes;
    const Answer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  QString ChooseFolder(QWidget*, const QString& title, const QString& startFolder) override {
    FolderTitles << title;
    FolderStarts << startFolder;
    return FolderChoice;
  }
  QString ChooseSaveFile(QWidget*, const QString& title, const QString& filter, const QString& defaultSuffix,
                         const QString& proposedPath) override {
    SaveDialogs << QStringList{title, filter, defaultSuffix, proposedPath};
    return SaveChoice;
  }
  void Beep() override { ++Beeps; }
  void Alert(QWidget*) override { ++Alerts; }
  bool OpenFile(const QString& path) override {
    Opened << path;
    return true;
  }
  void SetBusyCursor() override { ++BusyCursors; }
  void RestoreCursor() override { ++RestoredCursors; }
  // With TaskbarAvailable the launcher calls go to the real bus as well.
  bool InitializeTaskbarAPI() override { return TaskbarAvailable && vormla::InitializeTaskbarAPI(); }
  bool SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum) override {
    TaskbarCalls << QStringLiteral("value %1/%2").arg(current).arg(maximum);
    return TaskbarAvailable && vormla::SetTaskbarProgressValue(current, maximum);
  }
  bool SetTaskbarProgressState(TaskBarProgressState state) override {
    TaskbarCalls << QStringLiteral("state %1").arg(static_cast<int>(state));
    return TaskbarAvailable && vormla::SetTaskbarProgressState(state);
  }
  void TerminateApplication() override { ++Terminations; }

  QList<Message> Messages;
  QStringList Events;                             // "show CAPTION" and "answered CAPTION", in order
  std::function<void(const Message&)> OnMessage;  // runs while the box is "up"
  std::deque<Answer> Answers;
  QString FolderChoice;
  QStringList FolderTitles;
  QStringList FolderStarts;  // the folder each folder dialog opened in
  QString SaveChoice;
  QList<QStringList> SaveDialogs;  // title, filter, default suffix, proposed path of each save dialog
  QStringList TaskbarCalls;
  QStringList Opened;
  int Beeps = 0, Alerts = 0, BusyCursors = 0, RestoredCursors = 0, Terminations = 0;
  bool TaskbarAvailable = false;
};

// What arrives on the launcher-entry signal.
class LauncherListener : public QObject {
  Q_OBJECT

 public:
  struct Update {
    QString Uri;
    double Progress = -1;
    bool Visible = false;
    QStringList Keys;
  };

  // Updates arrive asynchronously: wait for them with QTRY_*.
  bool Listen();
  void Stop();

  QList<Update> Updates;

 public slots:
  void OnUpdate(const QString& uri, const QVariantMap& properties);
};

// A program folder of its own: db/vm_data.db copied from a test catalogue
// (none when catalogue is empty), db/vm.ini as the settings path.
class TestProgramFolder {
 public:
  explicit TestProgramFolder(const QString& catalogue = QStringLiteral("catalogue-edge.db"));
  QString Db() const { return dir_.path() + QStringLiteral("/db"); }
  std::string DbPath() const { return (Db() + QStringLiteral("/vm_data.db")).toStdString(); }
  std::string IniPath() const { return (Db() + QStringLiteral("/vm.ini")).toStdString(); }
  // The member's account file of this folder's user (none unless a test writes it).
  std::string AccountPath() const { return (dir_.path() + QStringLiteral("/account")).toStdString(); }
  QString IniFile() const { return QString::fromStdString(IniPath()); }
  // Writes db/vm.ini with the given Shift-JIS-free lines (CR LF ends).
  void WriteIni(const QStringList& lines) const;
  QByteArray ReadIni() const;

 private:
  QTemporaryDir dir_;
};

// The test data folder (VORMLA_TEST_DATA or the source tree's tests/data).
QString TestDataFolder();

// A window over a program folder, shown, with its deferred start-up done.
struct WindowFixture {
  explicit WindowFixture(const QString& catalogue = QStringLiteral("catalogue-edge.db"), bool showAndLoad = true);
  ~WindowFixture();
  void ShowAndLoad();

  FakeServices Services;
  TestProgramFolder Folder;
  std::unique_ptr<MainWindow> Window;
};

// The window's control of that object name and type. A missing one ends the test
// program at once, naming it: every step after it would only crash.
template <typename Widget>
Widget* Control(const QWidget& window, const char* name) {
  auto* control = window.findChild<Widget*>(QLatin1String(name));
  if (control == nullptr) qFatal("the window has no %s named %s", Widget::staticMetaObject.className(), name);
  return control;
}

// The controls of those names, in that order.
template <typename Widget = QWidget>
QList<Widget*> Controls(const QWidget& window, std::initializer_list<const char*> names) {
  QList<Widget*> controls;
  for (const char* name : names) controls << Control<Widget>(window, name);
  return controls;
}

// Chooses a top-level category in the list as the user does: the list reports
// the choice as activated, which a change by the program is not.
void ChooseCategory(MainWindow& window, int index);

// Start enabled, Cancel disabled: no run going.
bool WindowIdle(const MainWindow& window);

// The widget's own check state of a node.
bool WidgetChecked(const MainWindow& window, int index);
// "1"/"0" per node from the widget, and the same from the model.
QString WidgetMarks(const MainWindow& window);
QString ModelMarks(const MainWindow& window);
// A left click in the middle of a node's check box, or on its caption text.
void ClickCheckBox(MainWindow& window, int index);
void ClickCaption(MainWindow& window, int index);

// Test classes, run one after another by the test program.
QObject* NewLayoutTest();
QObject* NewConditionTest();
QObject* NewTreeTest();
QObject* NewSettingsTest();
QObject* NewInstanceTest();
QObject* NewServicesTest();
QObject* NewRunTest();
QObject* NewRunEndTest();
QObject* NewTaskbarTest();
QObject* NewSignalCloseTest();

// The taskbar probe run in a child process: prints what the launcher calls give.
int TaskbarProbe(int argc, char* argv[]);

}  // namespace vormla::test

// The user's watches: each one's daily timer switched on or off through
// systemd's user manager, a run now with its progress, its folder opened in
// the viewer, and a new watch made from a settings file.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "results/WatchList.h"

class QLabel;
class QProcess;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace vormla::viewer {

class ViewerServices;

class WatchesPage : public QWidget {
  Q_OBJECT

 public:
  explicit WatchesPage(ViewerServices& services, QWidget* parent = nullptr);

  // Lists the watches again, with each timer's state.
  void Refresh();
  // The selected watch's name, "" when none.
  QString Selected() const;
  void Select(const QString& name);

  // The actions of the buttons on the selected watch.
  void SetTimer(bool on);
  void RunNow();
  void NewWatch();

  QTableWidget& Table() { return *table_; }
  QLabel& Progress() { return *progressText_; }
  QProcess* Running() const { return process_; }

 signals:
  void OpenFolder(const QString& folder);
  void RunFinished(const QString& name, int exitCode);

 private:
  QString TimerState(const QString& name);
  void ShowFailure(const QString& text);
  void UpdateButtons();
  void OnRunOutput();

  ViewerServices& services_;
  QTableWidget* table_;
  QPushButton* switchOn_;
  QPushButton* switchOff_;
  QPushButton* runNow_;
  QPushButton* open_;
  QProgressBar* progressBar_;
  QLabel* progressText_;
  QProcess* process_ = nullptr;
  QString runningName_;
  std::vector<results::WatchEntry> watches_;
};

}  // namespace vormla::viewer

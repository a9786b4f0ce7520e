// The results viewer's window (結果ビューア): a result file or a watch folder
// opened from the command line, the File menu, the recent list or a drop; the
// pages of rows, of changes and history, and of watches.
#pragma once

#include <QMainWindow>
#include <QString>

#include "viewer/RecentList.h"

class QMenu;
class QTabWidget;

namespace vormla::viewer {

class HistoryPage;
class ResultsPage;
class ViewerServices;
class WatchesPage;

class ViewerWindow : public QMainWindow {
  Q_OBJECT

 public:
  ViewerWindow(ViewerServices& services, const QString& recentFile, QWidget* parent = nullptr);

  // Each says why in a message and changes nothing when the path is missing or
  // holds no result; false then.
  bool OpenFile(const QString& path);
  bool OpenFolder(const QString& folder);
  bool OpenWatch(const QString& name);
  // A change report of a watch folder (changes-STAMP.csv): its folder, with that
  // report and the result it was made for.
  bool OpenReport(const QString& report);

  ResultsPage& Results() { return *results_; }
  HistoryPage& History() { return *history_; }
  WatchesPage& Watches() { return *watches_; }
  QTabWidget& Tabs() { return *tabs_; }
  const RecentList& Recent() const { return recent_; }
  // The file or folder shown now, "" when none.
  const QString& Shown() const { return shown_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenu();
  void FillRecentMenu();
  void Refuse(const QString& text);
  void OnLoaded(const QString& path);
  bool ShowFolder(const QString& folder, const QString& reportStamp);

  ViewerServices& services_;
  RecentList recent_;
  ResultsPage* results_;
  HistoryPage* history_;
  WatchesPage* watches_;
  QTabWidget* tabs_;
  QMenu* recentMenu_ = nullptr;
  QString shown_;
  QString folder_;         // the watch folder shown, "" for a single file
  QString pendingRecent_;  // what goes into the recent list once its result has loaded
  bool pendingIsFolder_ = false;
};

// "結果ビューア".
QString ViewerTitle();

}  // namespace vormla::viewer

#include "viewer/ViewerWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>

#include <algorithm>
#include <optional>

#include "results/FolderFiles.h"
#include "results/WatchList.h"
#include "run/WatchFolder.h"
#include "settings/AppPaths.h"
#include "viewer/HistoryPage.h"
#include "viewer/ResultsPage.h"
#include "viewer/ViewerServices.h"
#include "viewer/WatchesPage.h"

namespace vormla::viewer {

namespace {

enum Tab { kRowsTab, kHistoryTab, kWatchesTab };

}  // namespace

QString ViewerTitle() { return QStringLiteral("結果ビューア"); }

ViewerWindow::ViewerWindow(ViewerServices& services, const QString& recentFile, QWidget* parent)
    : QMainWindow(parent), services_(services), recent_(recentFile) {
  setWindowTitle(ViewerTitle());
  setAcceptDrops(true);
  results_ = new ResultsPage(services_);
  history_ = new HistoryPage;
  watches_ = new WatchesPage(services_);
  tabs_ = new QTabWidget;
  tabs_->addTab(results_, QStringLiteral("結果"));
  tabs_->addTab(history_, QStringLiteral("変化と履歴"));
  tabs_->addTab(watches_, QStringLiteral("ウォッチ"));
  setCentralWidget(tabs_);
  BuildMenu();
  resize(1280, 800);

  connect(results_, &ResultsPage::Loaded, this, &ViewerWindow::OnLoaded);
  connect(results_, &ResultsPage::Refused, this, [this](const QString& text) {
    history_->Close();
    shown_.clear();
    folder_.clear();
    pendingRecent_.clear();
    statusBar()->clearMessage();
    Refuse(text);
  });
  connect(results_, &ResultsPage::ItemSelected, history_, &HistoryPage::ShowItem);
  connect(history_, &HistoryPage::ResultChosen, this, [this](const QString& path) {
    results_->Open(path);
    tabs_->setCurrentIndex(kRowsTab);
  });
  connect(watches_, &WatchesPage::OpenFolder, this, &ViewerWindow::OpenFolder);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
    if (tab == kWatchesTab) watches_->Refresh();
  });
}

void ViewerWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->addAction(QStringLiteral("結果ファイルを開く(&O)..."), QKeySequence::Open, this, [this] {
    const QString path = services_.ChooseFile(this, QStringLiteral("結果ファイルを開く"),
                                              QStringLiteral("結果ファイル (*.csv);;すべてのファイル (*)"), QString());
    if (!path.isEmpty()) OpenFile(path);
  });
  file->addAction(QStringLiteral("ウォッチのフォルダを開く(&D)..."), QKeySequence(QStringLiteral("Ctrl+Shift+O")), this,
                  [this] {
                    const QString folder = services_.ChooseFolder(this, QStringLiteral("ウォッチのフォルダを開く"),
                                                                  QString::fromStdString(UserDataFolder()));
                    if (!folder.isEmpty()) OpenFolder(folder);
                  });
  recentMenu_ = file->addMenu(QStringLiteral("最近開いたもの(&R)"));
  connect(recentMenu_, &QMenu::aboutToShow, this, &ViewerWindow::FillRecentMenu);
  file->addSeparator();
  file->addAction(QStringLiteral("終了(&X)"), QKeySequence::Quit, this, &QWidget::close);
}

void ViewerWindow::FillRecentMenu() {
  recentMenu_->clear();
  for (const RecentEntry& entry : recent_.Entries()) {
    QAction* action = recentMenu_->addAction(entry.Folder ? entry.Path + QStringLiteral("/") : entry.Path);
    connect(action, &QAction::triggered, this,
            [this, entry] { entry.Folder ? OpenFolder(entry.Path) : OpenFile(entry.Path); });
  }
  if (recentMenu_->isEmpty()) recentMenu_->addAction(QStringLiteral("(まだありません)"))->setEnabled(false);
}

void ViewerWindow::Refuse(const QString& text) {
  Message message;
  message.Text = text;
  message.Caption = ViewerTitle();
  message.Symbol = Message::Icon::Warning;
  services_.ShowMessage(this, message);
}

bool ViewerWindow::OpenFile(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir()) return OpenFolder(path);
  if (!info.isFile()) {
    Refuse(QStringLiteral("ファイル %1 が見つかりません。").arg(path));
    return false;
  }
  history_->Close();
  folder_.clear();
  shown_ = info.absoluteFilePath();
  pendingRecent_ = shown_;
  pendingIsFolder_ = false;
  results_->Open(shown_);
  tabs_->setCurrentIndex(kRowsTab);
  statusBar()->showMessage(shown_);
  return true;
}

bool ViewerWindow::OpenFolder(const QString& folder) { return ShowFolder(folder, QString()); }

bool ViewerWindow::OpenReport(const QString& report) {
  const QFileInfo info(report);
  if (!info.isFile()) {
    Refuse(QStringLiteral("ファイル %1 が見つかりません。").arg(report));
    return false;
  }
  const std::optional<std::string> stamp = StampOf(info.fileName().toStdString(), kChangesPrefix);
  if (!stamp) {
    Refuse(QStringLiteral("%1 は変化レポート (changes-YYYYMMDD-HHMMSS.csv) ではありません。").arg(report));
    return false;
  }
  return ShowFolder(info.absolutePath(), QString::fromStdString(*stamp));
}

bool ViewerWindow::ShowFolder(const QString& folder, const QString& reportStamp) {
  const QFileInfo info(folder);
  if (!info.isDir()) {
    Refuse(QStringLiteral("フォルダ %1 が見つかりません。").arg(folder));
    return false;
  }
  const std::vector<results::DatedFile> files = results::ListResults(info.absoluteFilePath().toStdString());
  if (files.empty()) {
    Refuse(QStringLiteral("フォルダ %1 にはウォッチの結果 (vormla-YYYYMMDD-HHMMSS.csv) がありません。").arg(folder));
    return false;
  }
  folder_ = info.absoluteFilePath();
  shown_ = folder_;
  pendingRecent_ = folder_;
  pendingIsFolder_ = true;
  history_->OpenFolder(folder_, reportStamp);
  // The rows the report was made from, else the newest.
  auto rows = std::find_if(files.begin(), files.end(),
                           [&](const results::DatedFile& file) { return file.Stamp == reportStamp.toStdString(); });
  results_->Open(QString::fromStdString(rows == files.end() ? files.back().Path : rows->Path));
  tabs_->setCurrentIndex(kHistoryTab);
  statusBar()->showMessage(folder_);
  return true;
}

bool ViewerWindow::OpenWatch(const QString& name) {
  const std::string problem = results::WatchNameProblem(name.toStdString());
  if (!problem.empty()) {
    Refuse(QString::fromStdString(problem));
    return false;
  }
  return OpenFolder(QString::fromStdString(WatchFolder(name.toStdString())));
}

void ViewerWindow::OnLoaded(const QString&) {
  if (pendingRecent_.isEmpty()) return;
  recent_.Add({pendingIsFolder_, pendingRecent_});
  pendingRecent_.clear();
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile()) event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  OpenFile(urls.front().toLocalFile());  // a folder goes on to OpenFolder
}

}  // namespace vormla::viewer

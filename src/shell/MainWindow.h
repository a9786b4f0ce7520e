// The main window MainWindow: the search-condition controls, the category choice
// with its check-marked tree, the run buttons, status label and progress bar.
//
// The window is given its services (boxes, dialogs, cursor, ...) and the paths of
// the category database and the settings file, so that tests can run it against
// a copy of the catalogue and a settings file of their own.
//
// MainWindowLayout.cpp builds the fixed layout; MainWindow.cpp holds the handlers,
// the category tree and the settings; RunControl.cpp starts and ends runs.
#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/CategoryDatabase.h"
#include "catalogue/CategoryTree.h"
#include "conditions/SearchConditions.h"
#include "engine/JobTypes.h"
#include "run/RunReport.h"
#include "settings/Settings.h"
#include "shell/AppServices.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QTimer;

namespace vormla {

class DigitsEdit;
class Run;
class RunObserver;
struct StartCheck;

// The window caption and the application title.
QString ApplicationTitle();

// The window's RunResult: how the current or last run stands. The numbers are
// the ones the window has always used.
enum class RunCode : int {
  kNormal = 0,           // running; once the run ended: it wrote at least one row
  kNothingFound = 1,     // ended, no row written
  kCancelled = 2,        // the user stopped it
  kCloseConfirmed = 5,   // the user confirmed closing the window during the run
  kClosing = 6,          // the run was told to stop; the program ends when it has
  kFileError = 7,        // the result file could not be made, written or put in place
  kSiteUnreachable = 9,  // the site could not be read
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // accountPath: the member's own account file (there or not).
  MainWindow(AppServices& services, std::string dbPath, std::string iniPath, std::string accountPath,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // How the current or last run stands: its code, and once it has reached the
  // window, its report. IsRunning: from the start of a run until its end has
  // reached the window.
  RunCode RunResult() const { return runResult_; }
  const RunReport& LastReport() const { return lastReport_; }
  bool IsRunning() const { return isRunning_; }
  // The current run, null when idle.
  const Run* CurrentRun() const { return worker_.get(); }
  // Workers still stopping after their run was left (second Cancel press) or
  // ending after their last call; each is joined once it has returned.
  int StoppingWorkers() const { return static_cast<int>(retired_.size()); }
  // The launcher entry takes the progress.
  bool TaskbarReady() const { return taskbarReady_; }
  // What the last Start fixed: the result file (native path) and the
  // selected-category list ("1,2,5," or "").
  const QString& ResultFilePath() const { return strFilePath; }
  const std::string& CategoryList() const { return strCtgrList; }

  bool DbFound() const { return catalogue_.DbFound(); }
  // The check marks; the tree widget mirrors them.
  const CategoryTree& Tree() const { return tree_; }
  // The widget item of a node index (nullptr when out of range).
  QTreeWidgetItem* NodeItem(int index) const;

  // Snapshots a run is given: the conditions as the controls hold them (the top
  // category's name in Shift-JIS, the picture folder native) and the node list of
  // the tree. The settings file keeps the same conditions.
  SearchConditions SnapshotConditions() const;
  std::vector<CategoryNode> SnapshotNodes() const;

  // The status label: right edge fixed, growing to the left with its text. Write
  // it only through here; QLabel does not resize itself on setText.
  void SetStatusText(const QString& text);

 signals:
  // Every text the status label is given, in order.
  void StatusShown(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void btnClearClick();
  void txtWordDblClick();
  void btnDirPathClick();
  void chkImgSaveClick();
  void cmbCtgrClick();
  void chkItemClick();
  void spbButtonClick();
  // Run control: start a run; cancel it, or finish it when the worker reports its
  // end (JobFinished arrives here too).
  void btnActionClick();
  void btnCancelClick();

 private:
  // The fixed layout (MainWindowLayout.cpp): a table of the controls with their
  // kinds, captions, bounds, fonts and tab order.
  struct ControlSpec;
  static std::span<const ControlSpec> Layout();
  void CreateControls();
  QWidget* CreateControl(const ControlSpec& spec);
  // The handlers, event filters and validator on those controls.
  void ConnectControls();
  void FormCreate();
  void StartupLoad();
  void TreeViewEnter();
  void TreeViewItemChanged(QTreeWidgetItem* item, int column);
  void SetFolderEditable(bool editable);
  void MirrorMarks(const std::vector<int>& changed);
  void RebuildTreeWidget();
  void SelectNode(int index, bool scrollToTop);
  // The node index of a widget item (-1 when it is not one of ours).
  int NodeIndex(const QTreeWidgetItem* item) const;
  void ApplyConditions(const SearchConditions& conditions);
  void SelectCategory(int category);
  // Catalogue and settings.
  void OpenCatalogue();
  void LoadTopCategories();
  void LoadCategoryTree();
  void LoadSettings();
  // Throws ProfileWriteError when the file refuses a write.
  void SaveSettings();
  void SyncSelectAllBox();
  // The standard error box for an error a lower layer raised.
  void ShowException(const std::exception& error);
  Answer Ask(const Message& message);

  // Run control.
  friend class RunObserver;
  void FinishRun(RunCode code);
  // The run's closing message (not for a cancelled run); true when it asked to
  // open the file and the answer was Yes.
  bool ShowEndMessage();
  // A start rule's refusal in an error box; false when the check passed.
  bool Refuse(const StartCheck& check);
  void SetRunningMode();
  void SetIdleMode();
  void LeaveRun();
  void ReapWorkers(bool wait);
  bool ConfirmReplacing(const QString& dialogChoice);
  // The progress routines, on the GUI thread, for the run with that id only.
  void InitProgress(int categoryTotal);
  void StepProgress();
  void ShowItemProgress(const QString& text);
  void ShowProgressStatus(const QString& text);
  void JobFinished();

  // The controls, named as they are found by object name.
  QLabel* lblWord = nullptr;
  QLabel* lblWsprice = nullptr;
  QLabel* lblSrprice = nullptr;
  QLabel* lblSort = nullptr;
  QLabel* lblBar1 = nullptr;
  QLabel* lblBar2 = nullptr;
  QLabel* lblSell = nullptr;
  QLabel* lblCtgr = nullptr;
  QLabel* lblImgDir = nullptr;
  QLabel* lblStatus = nullptr;
  QLineEdit* txtWord = nullptr;
  QLineEdit* txtDirPath = nullptr;
  QPushButton* btnAction = nullptr;
  QPushButton* btnClear = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnDirPath = nullptr;
  QCheckBox* chkSell1 = nullptr;
  QCheckBox* chkSell2 = nullptr;
  QCheckBox* chkItem = nullptr;
  QCheckBox* chkImgSave = nullptr;
  QComboBox* cmbSort = nullptr;
  QComboBox* cmbCtgr = nullptr;
  QGroupBox* grp01 = nullptr;
  QTreeWidget* TreeView = nullptr;
  QToolButton* spbExpand = nullptr;
  QToolButton* spbCollapse = nullptr;
  QProgressBar* prgBar = nullptr;
  // The four price bounds: wholesale from / to, retail from / to.
  DigitsEdit* txtPrice1 = nullptr;
  DigitsEdit* txtPrice2 = nullptr;
  DigitsEdit* txtPrice3 = nullptr;
  DigitsEdit* txtPrice4 = nullptr;
  std::array<DigitsEdit*, 4> txtPrice{};

  // Run state.
  RunReport lastReport_;
  bool taskbarReady_ = false;
  std::atomic<bool> isRunning_{false};
  RunCode runResult_ = RunCode::kNormal;
  QString strFilePath;      // the result file, native path
  std::string strCtgrList;  // the selected-category list, "1,2,5," or ""
  std::unique_ptr<Run> worker_;

  AppServices& services_;
  std::string iniPath_;
  std::string accountPath_;
  // The 中断確認 question is up; a run that ends meanwhile is finished once it
  // has been answered, with this code.
  bool cancelQuestionOpen_ = false;
  std::optional<RunCode> finishAfterQuestion_;
  CategoryDatabase catalogue_;
  CategoryTree tree_;
  std::vector<TopCategory> topCategories_;
  std::vector<QTreeWidgetItem*> items_;
  // The top-level index the tree was built for; kNoTree when it was not built.
  static constexpr int kNoTree = -2;
  int treeTop_ = kNoTree;
  bool startupPosted_ = false;
  // Where the dialogs last left the user, for this run of the program.
  QString lastResultFolder_;
  QString lastPictureFolder_;
  // Start is waiting for an old worker to stop; a close request then waits for
  // the new run (closeHeld_).
  bool startWaiting_ = false;
  bool closeHeld_ = false;

  struct RetiredRun {
    std::unique_ptr<RunObserver> Observer;
    std::unique_ptr<Run> Worker;
  };
  std::unique_ptr<RunObserver> observer_;  // the current run's
  std::vector<RetiredRun> retired_;
  int runCounter_ = 0;
  int activeRun_ = 0;  // id of the run the window shows, 0 when none
  QTimer* reaper_ = nullptr;
};

}  // namespace vormla

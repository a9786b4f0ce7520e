#include "viewer/WatchesPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/AppPaths.h"
#include "viewer/NewWatchDialog.h"
#include "viewer/ViewerServices.h"

namespace vormla::viewer {

namespace {

enum Column { kName, kTimer, kResults, kNewest, kFolder, kColumns };

QStringList ToQt(const std::vector<std::string>& words) {
  QStringList list;
  for (const std::string& word : words) list << QString::fromStdString(word);
  return list;
}

Message Notice(const QString& text) {
  Message message;
  message.Text = text;
  message.Caption = QStringLiteral("ウォッチ");
  message.Symbol = Message::Icon::Warning;
  return message;
}

}  // namespace

WatchesPage::WatchesPage(ViewerServices& services, QWidget* parent) : QWidget(parent), services_(services) {
  table_ = new QTableWidget(0, kColumns);
  table_->setHorizontalHeaderLabels({QStringLiteral("名前"), QStringLiteral("毎日のタイマー"), QStringLiteral("結果"),
                                     QStringLiteral("最新の結果"), QStringLiteral("結果のフォルダ")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);

  auto* create = new QPushButton(QStringLiteral("新しいウォッチ..."));
  switchOn_ = new QPushButton(QStringLiteral("タイマーをオン"));
  switchOff_ = new QPushButton(QStringLiteral("タイマーをオフ"));
  runNow_ = new QPushButton(QStringLiteral("今すぐ実行"));
  open_ = new QPushButton(QStringLiteral("結果を開く"));
  auto* refresh = new QPushButton(QStringLiteral("最新の状態にする"));
  progressBar_ = new QProgressBar;
  progressBar_->setRange(0, 0);
  progressBar_->hide();
  progressText_ = new QLabel;
  progressText_->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {create, switchOn_, switchOff_, runNow_, open_, refresh}) buttons->addWidget(button);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(table_, 1);
  layout->addWidget(progressBar_);
  layout->addWidget(progressText_);

  connect(create, &QPushButton::clicked, this, &WatchesPage::NewWatch);
  connect(switchOn_, &QPushButton::clicked, this, [this] { SetTimer(true); });
  connect(switchOff_, &QPushButton::clicked, this, [this] { SetTimer(false); });
  connect(runNow_, &QPushButton::clicked, this, &WatchesPage::RunNow);
  connect(open_, &QPushButton::clicked, this, [this] {
    if (!Selected().isEmpty()) emit OpenFolder(QString::fromStdString(WatchFolder(Selected().toStdString())));
  });
  connect(refresh, &QPushButton::clicked, this, &WatchesPage::Refresh);
  connect(table_, &QTableWidget::itemSelectionChanged, this, &WatchesPage::UpdateButtons);
  UpdateButtons();
}

QString WatchesPage::TimerState(const QString& name) {
  if (!results::TimerTakesName(name.toStdString())) return QStringLiteral("名前が長すぎます");
  const CommandOutcome state = services_.RunCommand(ToQt(results::TimerStateCommand(name.toStdString())));
  const QString word = state.Output.trimmed();
  if (word == QStringLiteral("enabled")) return QStringLiteral("オン");
  if (word == QStringLiteral("disabled") || word == QStringLiteral("not-found")) return QStringLiteral("オフ");
  return QStringLiteral("不明");  // no user manager, or it said something else
}

void WatchesPage::Refresh() {
  const QString selected = Selected();
  watches_ = results::ListWatches();
  table_->setRowCount(static_cast<int>(watches_.size()));
  for (int r = 0; r < static_cast<int>(watches_.size()); ++r) {
    const results::WatchEntry& watch = watches_[static_cast<size_t>(r)];
    const QString name = QString::fromStdString(watch.Name);
    const QString newest =
        watch.Newest.empty() ? QStringLiteral("なし") : QString::fromStdString(results::StampText(watch.Newest));
    const QStringList cells = {name, TimerState(name), QString::number(watch.Results), newest,
                               QString::fromStdString(watch.Folder)};
    for (int c = 0; c < kColumns; ++c) table_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  table_->resizeColumnsToContents();
  Select(selected);
  UpdateButtons();
}

QString WatchesPage::Selected() const {
  const int row = table_->currentRow();
  return row >= 0 && table_->item(row, kName) != nullptr && table_->item(row, kName)->isSelected()
             ? table_->item(row, kName)->text()
             : QString();
}

void WatchesPage::Select(const QString& name) {
  for (int r = 0; r < table_->rowCount(); ++r) {
    if (table_->item(r, kName)->text() == name) table_->selectRow(r);
  }
}

void WatchesPage::UpdateButtons() {
  const bool any = !Selected().isEmpty();
  for (QPushButton* button : {switchOn_, switchOff_, open_}) button->setEnabled(any);
  runNow_->setEnabled(any && process_ == nullptr);
}

void WatchesPage::ShowFailure(const QString& text) { services_.ShowMessage(this, Notice(text)); }

void WatchesPage::SetTimer(bool on) {
  const QString name = Selected();
  if (name.isEmpty()) return;
  if (!results::TimerTakesName(name.toStdString())) {
    return ShowFailure(
        QStringLiteral("ウォッチ「%1」には毎日のタイマーを使えません。名前が長すぎて systemd のユニット名 (255 "
                       "文字まで) に収まりません。短い名前のウォッチを作ってください。")
            .arg(name));
  }
  const QStringList command = ToQt(results::TimerCommand(name.toStdString(), on));
  const CommandOutcome outcome = services_.RunCommand(command);
  if (outcome.ExitCode != 0) {
    ShowFailure(
        QStringLiteral("%1 は失敗しました。\n%2").arg(command.join(QLatin1Char(' ')), outcome.Output.trimmed()));
  }
  Refresh();
}

void WatchesPage::RunNow() {
  const QString name = Selected();
  if (name.isEmpty() || process_ != nullptr) return;
  runningName_ = name;
  process_ = new QProcess(this);
  process_->setProcessChannelMode(QProcess::MergedChannels);
  connect(process_, &QProcess::readyRead, this, &WatchesPage::OnRunOutput);
  connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
    OnRunOutput();
    const int code = status == QProcess::NormalExit ? exitCode : -1;
    progressBar_->hide();
    progressText_->setText(progressText_->text() +
                           QStringLiteral("\n「%1」の実行が終わりました (終了コード %2)").arg(runningName_).arg(code));
    process_->deleteLater();
    process_ = nullptr;
    Refresh();
    emit RunFinished(runningName_, code);
  });
  connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    progressBar_->hide();
    progressText_->setText(
        QStringLiteral("%1 を起動できません: %2").arg(services_.CliProgram(), process_->errorString()));
    process_->deleteLater();
    process_ = nullptr;
    UpdateButtons();
    emit RunFinished(runningName_, -1);
  });
  progressBar_->show();
  progressText_->setText(QStringLiteral("「%1」を実行中…").arg(name));
  process_->start(services_.CliProgram(), ToQt(results::RunNowArguments(name.toStdString())));
  UpdateButtons();
}

void WatchesPage::OnRunOutput() {
  if (process_ == nullptr) return;
  // vormla-cli writes one line per status text to a pipe; the newest is the progress.
  const QStringList lines = QString::fromUtf8(process_->readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (!lines.isEmpty()) progressText_->setText(lines.back().trimmed());
}

void WatchesPage::NewWatch() {
  NewWatchDialog dialog(services_, QString::fromStdString(ProgramPaths().Settings), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string problem = results::CreateWatch(dialog.Name().toStdString(), dialog.SettingsFile().toStdString());
  if (!problem.empty()) return ShowFailure(QString::fromStdString(problem));
  Refresh();
  Select(dialog.Name());
}

}  // namespace vormla::viewer

#include "GuiTestKit.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

namespace vormla::test {

QString TestDataFolder() {
  const QByteArray env = qgetenv("VORMLA_TEST_DATA");
  return env.isEmpty() ? QStringLiteral(VORMLA_TEST_DATA_DIR) : QString::fromLocal8Bit(env);
}

TestProgramFolder::TestProgramFolder(const QString& catalogue) {
  QDir().mkpath(Db());
  if (!catalogue.isEmpty()) {
    QFile::copy(TestDataFolder() + QStringLiteral("/catalogue/") + catalogue, Db() + QStringLiteral("/vm_data.db"));
  }
}

void TestProgramFolder::WriteIni(const QStringList& lines) const {
  QFile file(IniFile());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write the settings file");
  for (const QString& line : lines) file.write(line.toLatin1() + "\r\n");
}

QByteArray TestProgramFolder::ReadIni() const {
  QFile file(IniFile());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

WindowFixture::WindowFixture(const QString& catalogue, bool showAndLoad) : Folder(catalogue) {
  if (showAndLoad) ShowAndLoad();
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::ShowAndLoad() {
  Window = std::make_unique<MainWindow>(Services, Folder.DbPath(), Folder.IniPath(), Folder.AccountPath());
  Window->show();
  if (!QTest::qWaitForWindowExposed(Window.get())) qWarning("window not exposed");
  // The deferred start-up runs from the event loop after the first show.
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

bool LauncherListener::Listen() {
  return QDBusConnection::sessionBus().connect(QString(), QString::fromLatin1(kLauncherEntryPath),
                                               QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"),
                                               this, SLOT(OnUpdate(QString, QVariantMap)));
}

void LauncherListener::Stop() {
  QDBusConnection::sessionBus().disconnect(QString(), QString::fromLatin1(kLauncherEntryPath),
                                           QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"), this,
                                           SLOT(OnUpdate(QString, QVariantMap)));
}

void LauncherListener::OnUpdate(const QString& uri, const QVariantMap& properties) {
  Update update;
  update.Uri = uri;
  update.Progress = properties.value(QStringLiteral("progress"), -1.0).toDouble();
  update.Visible = properties.value(QStringLiteral("progress-visible")).toBool();
  update.Keys = properties.keys();
  Updates << update;
}

void ChooseCategory(MainWindow& window, int index) {
  auto* list = Control<QComboBox>(window, "cmbCtgr");
  list->setCurrentIndex(index);
  emit list->activated(index);
}

bool WindowIdle(const MainWindow& window) {
  return Control<QPushButton>(window, "btnAction")->isEnabled() &&
         !Control<QPushButton>(window, "btnCancel")->isEnabled();
}

bool WidgetChecked(const MainWindow& window, int index) { return window.NodeItem(index)->checkState(0) == Qt::Checked; }

QString WidgetMarks(const MainWindow& window) {
  QString marks;
  for (int i = 0; i < window.Tree().Count(); ++i) marks += WidgetChecked(window, i) ? '1' : '0';
  return marks;
}

QString ModelMarks(const MainWindow& window) { return QString::fromStdString(window.Tree().TreeListText()); }

namespace {

QRect CheckRect(MainWindow& window, int index) {
  auto* tree = Control<QTreeWidget>(window, "TreeView");
  QTreeWidgetItem* item = window.NodeItem(index);
  tree->scrollToItem(item);
  QStyleOptionViewItem option;
  option.initFrom(tree->viewport());
  option.rect = tree->visualItemRect(item);
  option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  option.text = item->text(0);
  option.font = tree->font();
  return tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
}

}  // namespace

void ClickCheckBox(MainWindow& window, int index) {
  const QPoint at = CheckRect(window, index).center();
  QWidget* rows = Control<QTreeWidget>(window, "TreeView")->viewport();
  QTest::mouseMove(rows, at);
  QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, at);
}

void ClickCaption(MainWindow& window, int index) {
  auto* tree = Control<QTreeWidget>(window, "TreeView");
  const QRect box = CheckRect(window, index);
  const QRect row = tree->visualItemRect(window.NodeItem(index));
  const QPoint at(box.right() + 30, row.center().y());
  QTest::mouseMove(tree->viewport(), at);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace vormla::test

#include "viewer/RecentList.h"

#include <QSettings>

#include "settings/AppPaths.h"

namespace vormla::viewer {

namespace {

constexpr int kKept = 10;
const QString kKey = QStringLiteral("recent/opened");
const QString kFolderMark = QStringLiteral("folder:");
const QString kFileMark = QStringLiteral("file:");

QString Encode(const RecentEntry& entry) { return (entry.Folder ? kFolderMark : kFileMark) + entry.Path; }

}  // namespace

RecentList::RecentList(QString file) : file_(std::move(file)) {}

QList<RecentEntry> RecentList::Entries() const {
  QSettings settings(file_, QSettings::IniFormat);
  QList<RecentEntry> entries;
  for (const QString& text : settings.value(kKey).toStringList()) {
    if (text.startsWith(kFolderMark)) entries.append({true, text.mid(kFolderMark.size())});
    if (text.startsWith(kFileMark)) entries.append({false, text.mid(kFileMark.size())});
  }
  return entries;
}

void RecentList::Add(const RecentEntry& entry) {
  QStringList texts{Encode(entry)};
  for (const RecentEntry& old : Entries()) {
    if (texts.size() < kKept && !texts.contains(Encode(old))) texts << Encode(old);
  }
  MakeSettingsFolder(file_.toStdString());
  QSettings settings(file_, QSettings::IniFormat);
  settings.setValue(kKey, texts);
  settings.sync();
}

QString DefaultRecentFile() {
  return QString::fromStdString(UserConfigFolder()) + QStringLiteral("/vormla-results.ini");
}

}  // namespace vormla::viewer

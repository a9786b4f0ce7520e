// The results and folders opened last, newest first, kept in the viewer's own
// small settings file (QSettings writes it whole and renames it into place).
#pragma once

#include <QString>
#include <QStringList>

namespace vormla::viewer {

struct RecentEntry {
  bool Folder = false;
  QString Path;
};

class RecentList {
 public:
  explicit RecentList(QString file);
  QList<RecentEntry> Entries() const;
  // Puts the entry first (once) and saves the list.
  void Add(const RecentEntry& entry);
  const QString& File() const { return file_; }

 private:
  QString file_;
};

// $XDG_CONFIG_HOME/vormla-search/vormla-results.ini.
QString DefaultRecentFile();

}  // namespace vormla::viewer

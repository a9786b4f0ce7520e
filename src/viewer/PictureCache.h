// Pictures read from disk off the GUI thread, scaled to one size and cached.
// Get never waits: what is not loaded yet is asked for, and Ready tells when it
// is there. The newest requests are served first and only a bounded queue is
// kept, so rows scrolled past long ago are not loaded at all.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <optional>

namespace vormla::viewer {

class PictureCache : public QObject {
  Q_OBJECT

 public:
  // Pictures are scaled to fit edge x edge pixels.
  explicit PictureCache(int edge, QObject* parent = nullptr);
  ~PictureCache() override;

  // The picture when loaded (a null pixmap when the file is not a readable
  // picture); nothing while it is on its way.
  std::optional<QPixmap> Get(const QString& path);
  int Edge() const { return edge_; }
  // Forgets every picture, for a newly opened result whose pictures may differ.
  void Clear();
  // Pictures loaded since the cache was made (tests, the benchmark).
  int Loaded() const { return loaded_; }

 signals:
  void Ready(const QString& path);

 private:
  void StartMore();
  void Deliver(const QString& path, const QImage& image);

  int edge_;
  QThreadPool pool_;
  QCache<QString, QPixmap> pixmaps_;
  QSet<QString> missing_;
  QSet<QString> wanted_;       // queued or loading
  std::deque<QString> queue_;  // newest first
  int running_ = 0;
  int loaded_ = 0;
};

}  // namespace vormla::viewer

#include "viewer/PictureCache.h"

#include <QImageReader>
#include <QMetaObject>
#include <QPointer>

namespace vormla::viewer {

namespace {

constexpr int kLoaders = 2;          // the machine's other core stays with the window
constexpr size_t kQueueLimit = 256;  // about the rows of a few screens
constexpr int kCacheBytes = 64 << 20;

QImage ReadScaled(const QString& path, int edge) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > edge || size.height() > edge)) {
    reader.setScaledSize(size.scaled(edge, edge, Qt::KeepAspectRatio));
  }
  QImage image = reader.read();
  if (image.isNull() || (image.width() == edge && image.height() <= edge) ||
      (image.height() == edge && image.width() <= edge)) {
    return image;
  }
  // Small pictures are enlarged to the same size, with their pixels kept sharp.
  const bool shrink = image.width() > edge || image.height() > edge;
  return image.scaled(edge, edge, Qt::KeepAspectRatio, shrink ? Qt::SmoothTransformation : Qt::FastTransformation);
}

}  // namespace

PictureCache::PictureCache(int edge, QObject* parent) : QObject(parent), edge_(edge), pixmaps_(kCacheBytes) {
  pool_.setMaxThreadCount(kLoaders);
}

PictureCache::~PictureCache() {
  queue_.clear();
  pool_.waitForDone();
}

std::optional<QPixmap> PictureCache::Get(const QString& path) {
  if (const QPixmap* pixmap = pixmaps_.object(path)) return *pixmap;
  if (missing_.contains(path)) return QPixmap();
  if (!wanted_.contains(path)) {
    wanted_.insert(path);
    queue_.push_front(path);
    while (queue_.size() > kQueueLimit) {
      wanted_.remove(queue_.back());
      queue_.pop_back();
    }
    StartMore();
  }
  return std::nullopt;
}

void PictureCache::Clear() {
  pixmaps_.clear();
  missing_.clear();
  for (const QString& path : queue_) wanted_.remove(path);
  queue_.clear();
}

void PictureCache::StartMore() {
  while (running_ < kLoaders && !queue_.empty()) {
    const QString path = queue_.front();
    queue_.pop_front();
    ++running_;
    const int edge = edge_;
    // The pool is waited for before this object goes, so the call back finds it.
    pool_.start([this, path, edge] {
      const QImage image = ReadScaled(path, edge);
      QMetaObject::invokeMethod(
          this, [this, path, image] { Deliver(path, image); }, Qt::QueuedConnection);
    });
  }
}

void PictureCache::Deliver(const QString& path, const QImage& image) {
  --running_;
  wanted_.remove(path);
  if (image.isNull()) {
    missing_.insert(path);
  } else {
    auto* pixmap = new QPixmap(QPixmap::fromImage(image));
    pixmaps_.insert(path, pixmap, static_cast<int>(pixmap->width() * pixmap->height() * 4));
    ++loaded_;
  }
  emit Ready(path);
  StartMore();
}

}  // namespace vormla::viewer

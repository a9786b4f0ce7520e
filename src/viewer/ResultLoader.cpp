#include "viewer/ResultLoader.h"

#include <QMetaObject>

#include "results/ResultCsvReader.h"

namespace vormla::viewer {

ResultLoader::ResultLoader(QObject* parent) : QObject(parent) {}

ResultLoader::~ResultLoader() { Stop(); }

void ResultLoader::Stop() {
  if (cancel_) *cancel_ = true;
  if (thread_.joinable()) thread_.join();
  ++generation_;  // what the stopped thread posted is dropped on arrival
  loading_ = false;
}

void ResultLoader::Start(const QString& path) {
  Stop();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  loading_ = true;
  const int generation = generation_;
  const std::string file = path.toStdString();
  // The thread is joined before this object goes (Stop), so posting to it is safe.
  thread_ = std::thread([this, file, path, generation, cancel = cancel_] {
    auto post = [this, generation](auto&& call) {
      QMetaObject::invokeMethod(
          this,
          [this, generation, call] {
            if (generation == generation_) call();
          },
          Qt::QueuedConnection);
    };
    qint64 rows = 0;
    try {
      results::ReadResultBlocks(file, {}, *cancel, [&](std::shared_ptr<results::RowBlock> block) {
        rows += static_cast<qint64>(block->Rows());
        std::shared_ptr<const results::RowBlock> done = std::move(block);
        post([this, done] { emit Block(done); });
      });
      post([this, rows] {
        loading_ = false;
        emit Finished(rows);
      });
    } catch (const ResultCsvError& error) {
      const QString message = RefusalText(path, error.Line(), QString::fromUtf8(error.what()));
      post([this, message] {
        loading_ = false;
        emit Failed(message);
      });
    } catch (const std::exception& error) {
      const QString message = RefusalText(path, 0, QString::fromUtf8(error.what()));
      post([this, message] {
        loading_ = false;
        emit Failed(message);
      });
    }
  });
}

QString RefusalText(const QString& path, long line, const QString& reason) {
  const QString where = line > 0 ? QStringLiteral("%1 行目: ").arg(line) : QString();
  return QStringLiteral("%1 を結果ファイルとして読めません。\n%2%3").arg(path, where, reason);
}

}  // namespace vormla::viewer

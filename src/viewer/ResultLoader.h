// Reads a result file on a thread of its own and hands its rows to the GUI
// thread block by block, so the first screen shows while the rest still loads.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "results/ResultTable.h"

namespace vormla::viewer {

class ResultLoader : public QObject {
  Q_OBJECT

 public:
  explicit ResultLoader(QObject* parent = nullptr);
  ~ResultLoader() override;

  // Starts reading path; a load still under way is stopped first and nothing
  // more of it arrives.
  void Start(const QString& path);
  void Stop();
  bool Loading() const { return loading_; }

 signals:
  void Block(std::shared_ptr<const vormla::results::RowBlock> block);
  void Finished(qint64 rows);
  // The file was refused: message names the file and, for a damaged row, its line.
  void Failed(const QString& message);

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  int generation_ = 0;
  bool loading_ = false;
};

// The text the viewer shows for a file it cannot read as a result.
QString RefusalText(const QString& path, long line, const QString& reason);

}  // namespace vormla::viewer

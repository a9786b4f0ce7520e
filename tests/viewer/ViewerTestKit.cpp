#include "ViewerTestKit.h"

#include <QFile>

#include "engine/RetrievalJob.h"
#include "text/TextOps.h"

namespace vormla::viewtest {

namespace {

std::string UndoubledRow(const ItemRecord& record) {
  std::string line;
  for (const std::string& field : record) line += (line.empty() ? "\"" : ",\"") + field + "\"";
  return line;
}

}  // namespace

std::string ResultBytes(const std::vector<Row>& rows, ResultEncoding encoding, Quoting quoting) {
  const bool utf8 = encoding == ResultEncoding::kUtf8;
  std::string bytes = utf8 ? "\xEF\xBB\xBF" + SjisToUtf8(CsvHeader()) : CsvHeader();
  bytes += "\r\n";
  for (const Row& row : rows) {
    ItemRecord record;
    for (const auto& [column, value] : row) record[static_cast<size_t>(column)] = Utf8ToSjis(value);
    const std::string line = quoting == Quoting::kDoubled ? FormatItemRow(record) : UndoubledRow(record);
    bytes += (utf8 ? SjisToUtf8(line) : line) + "\r\n";
  }
  return bytes;
}

void WriteFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void WritePicture(const QString& path, QColor colour) {
  QImage image(32, 24, QImage::Format_RGB32);
  image.fill(colour);
  if (!image.save(path, "PNG")) qFatal("cannot write %s", qPrintable(path));
}

}  // namespace vormla::viewtest

// Shared pieces of the viewer tests: result files written in each encoding and
// quoting, a watch folder laid out as watch writes it, and recording services.
#pragma once

#include <QImage>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "engine/JobTypes.h"
#include "viewer/ViewerServices.h"

namespace vormla::viewtest {

// Column index -> UTF-8 value; the rest empty.
using Row = std::map<int, std::string>;

enum class Quoting { kDoubled, kUndoubled };

// A result file as this program writes it (or, undoubled, as the older one
// did): the header and one CR LF line per row, in Shift-JIS or UTF-8 with BOM.
std::string ResultBytes(const std::vector<Row>& rows, ResultEncoding encoding, Quoting quoting);
void WriteFile(const QString& path, const std::string& bytes);
// A small picture of one colour, saved as PNG.
void WritePicture(const QString& path, QColor colour);

// Records what the viewer asks of the desktop; commands answer from Answers
// (by the command's last word), else exit 0 with no output.
class FakeServices : public viewer::ViewerServices {
 public:
  void ShowMessage(QWidget*, const Message& message) override { Messages << message; }
  QString ChooseFile(QWidget*, const QString&, const QString&, const QString&) override { return FileChoice; }
  QString ChooseFolder(QWidget*, const QString&, const QString&) override { return FolderChoice; }
  bool OpenUrl(const QUrl& url) override {
    Urls << url;
    return true;
  }
  viewer::CommandOutcome RunCommand(const QStringList& command) override {
    Commands << command;
    return Answers.value(command.join(QLatin1Char(' ')), viewer::CommandOutcome{0, QString()});
  }
  QString CliProgram() const override { return Cli; }

  QList<Message> Messages;
  QList<QStringList> Commands;
  QMap<QString, viewer::CommandOutcome> Answers;  // by the whole command line
  QList<QUrl> Urls;
  QString FileChoice, FolderChoice, Cli;
};

}  // namespace vormla::viewtest

// vormla-results: the results viewer. Opens a result file, a watch folder
// (--dir) or a watch by name (--name), or nothing and waits for the File menu.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "shell/AppSetup.h"
#include "viewer/RecentList.h"
#include "viewer/ViewerServices.h"
#include "viewer/ViewerWindow.h"

namespace {

constexpr int kExitUsage = 2;

struct Request {
  QString File, Folder, Name;
};

// Parses the command line; prints the help or a usage error and exits.
Request ParseCommandLine(const QApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("結果ビューア: vormla-search と vormla-cli の結果ファイルやウォッチのフォルダを表示します。"));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("この説明を表示して終了します。"));
  const QCommandLineOption dir(QStringLiteral("dir"), QStringLiteral("ウォッチのフォルダ DIR を開きます。"), QStringLiteral("DIR"));
  const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("名前 NAME のウォッチを開きます。"), QStringLiteral("NAME"));
  parser.addOption(help);
  parser.addOption(dir);
  parser.addOption(name);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("開く結果ファイル (Shift-JIS か UTF-8 の CSV)。"), QStringLiteral("[FILE]"));
  if (!parser.parse(app.arguments())) {
    std::fprintf(stderr, "vormla-results: %s\n", qUtf8Printable(parser.errorText()));
    std::exit(kExitUsage);
  }
  if (parser.isSet(help)) {
    std::printf("%s", qUtf8Printable(parser.helpText()));
    std::exit(0);
  }
  Request request{parser.positionalArguments().value(0), parser.value(dir), parser.value(name)};
  const int given = !request.File.isEmpty() + parser.isSet(dir) + parser.isSet(name);
  if (given > 1 || parser.positionalArguments().size() > 1) {
    std::fprintf(stderr, "vormla-results: 開くのは FILE、--dir、--name のどれか一つにしてください。\n");
    std::exit(kExitUsage);
  }
  return request;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vormla-results"));
  QApplication::setApplicationDisplayName(vormla::viewer::ViewerTitle());
  QGuiApplication::setDesktopFileName(QStringLiteral("vormla-results"));
  vormla::RegisterFontSubstitutions();
  vormla::LoadJapaneseTranslation(app);
  const Request request = ParseCommandLine(app);

  vormla::viewer::QtViewerServices services;
  vormla::viewer::ViewerWindow window(services, vormla::viewer::DefaultRecentFile());
  window.show();
  // After the first show, so that a message about the file has a window to sit on.
  QTimer::singleShot(0, &window, [&] {
    if (!request.File.isEmpty()) window.OpenFile(request.File);
    if (!request.Folder.isEmpty()) window.OpenFolder(request.Folder);
    if (!request.Name.isEmpty()) window.OpenWatch(request.Name);
  });
  return QApplication::exec();
}

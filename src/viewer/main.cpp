// vormla-results: the results viewer. Opens a result file, a watch folder
// (--dir), a watch by name (--name) or one change report of a watch folder
// (--report, as a watch's desktop notice asks), or nothing and waits for the
// File menu.
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
  QString File, Folder, Name, Report;
};

constexpr const char* kHelp =
    "使い方: vormla-results [FILE]\n"
    "        vormla-results --dir DIR\n"
    "        vormla-results --name NAME\n"
    "        vormla-results --report CHANGES\n"
    "結果ビューア: vormla-search と vormla-cli の結果ファイルやウォッチのフォルダを表示します。\n"
    "\n"
    "  FILE          開く結果ファイル (Shift-JIS か UTF-8 の CSV)\n"
    "  --dir DIR     ウォッチのフォルダ DIR を開きます\n"
    "  --name NAME   名前 NAME のウォッチを開きます\n"
    "  --report CHANGES\n"
    "                ウォッチのフォルダを開き、その変化レポート (changes-*.csv) を表示します\n"
    "  -h, --help    この説明を表示して終了します\n";

[[noreturn]] void Usage(const QString& message) {
  std::fprintf(stderr, "vormla-results: %s\n使い方は vormla-results --help で確かめられます。\n",
               qUtf8Printable(message));
  std::exit(kExitUsage);
}

// Parses the command line; prints the help or a usage error and exits. Before
// the application, so that --help needs no display.
Request ParseCommandLine(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption dir(QStringLiteral("dir"), QString(), QStringLiteral("DIR"));
  const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("NAME"));
  const QCommandLineOption report(QStringLiteral("report"), QString(), QStringLiteral("CHANGES"));
  parser.addOptions({help, dir, name, report});
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      Usage(QStringLiteral("%1%2 という指定はありません。")
                .arg(unknown.front().size() == 1 ? "-" : "--", unknown.front()));
    }
    Usage(QStringLiteral("--dir、--name と --report には値を指定してください。"));
  }
  if (parser.isSet(help)) {
    std::fputs(kHelp, stdout);
    std::exit(0);
  }
  const QStringList files = parser.positionalArguments();
  Request request{files.value(0), parser.value(dir), parser.value(name), parser.value(report)};
  if (files.size() + parser.isSet(dir) + parser.isSet(name) + parser.isSet(report) > 1) {
    Usage(QStringLiteral("開くのは FILE、--dir、--name、--report のどれか一つにしてください。"));
  }
  return request;
}

}  // namespace

int main(int argc, char* argv[]) {
  const Request request = ParseCommandLine(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vormla-results"));
  QApplication::setApplicationDisplayName(vormla::viewer::ViewerTitle());
  QGuiApplication::setDesktopFileName(QStringLiteral("vormla-results"));
  vormla::RegisterFontSubstitutions();
  vormla::LoadJapaneseTranslation(app);

  vormla::viewer::QtViewerServices services;
  vormla::viewer::ViewerWindow window(services, vormla::viewer::DefaultRecentFile());
  window.show();
  // After the first show, so that a message about the file has a window to sit on.
  QTimer::singleShot(0, &window, [&] {
    if (!request.File.isEmpty()) window.OpenFile(request.File);
    if (!request.Folder.isEmpty()) window.OpenFolder(request.Folder);
    if (!request.Name.isEmpty()) window.OpenWatch(request.Name);
    if (!request.Report.isEmpty()) window.OpenReport(request.Report);
  });
  return QApplication::exec();
}

#include "shell/AppSetup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include "shell/MainWindow.h"

namespace vormla {

void RegisterFontSubstitutions() {
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), {QStringLiteral("IPAPGothic")});
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), {QStringLiteral("IPAGothic")});
}

void LoadJapaneseTranslation(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

void PrepareApplication(QApplication& app) {
  QApplication::setApplicationName(QStringLiteral("vormla-search"));
  QApplication::setApplicationDisplayName(ApplicationTitle());
  QGuiApplication::setDesktopFileName(QStringLiteral("vormla-search"));
  RegisterFontSubstitutions();
  LoadJapaneseTranslation(app);
}

}  // namespace vormla

// Runs every viewer test class under one QApplication on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "shell/AppSetup.h"

namespace vormla::viewtest {
QObject* NewModelTest();
QObject* NewWindowTest();
QObject* NewWatchTest();
}  // namespace vormla::viewtest

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  vormla::RegisterFontSubstitutions();

  std::vector<std::unique_ptr<QObject>> tests;
  tests.emplace_back(vormla::viewtest::NewModelTest());
  tests.emplace_back(vormla::viewtest::NewWindowTest());
  tests.emplace_back(vormla::viewtest::NewWatchTest());
  int failures = 0;
  for (const auto& test : tests) failures += QTest::qExec(test.get(), argc, argv);
  return failures == 0 ? 0 : 1;
}

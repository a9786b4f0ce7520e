// Runs every window test class under one QApplication (offscreen platform, a
// private runtime folder, the program's fonts and translation).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "GuiTestKit.h"
#include "shell/AppSetup.h"

int main(int argc, char* argv[]) {
  if (argc > 1 && QByteArray(argv[1]) == "--taskbar-probe") return vormla::test::TaskbarProbe(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The single-instance lock lives in the runtime folder; keep ours private.
  QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  vormla::PrepareApplication(app);

  std::vector<std::unique_ptr<QObject>> tests;
  tests.emplace_back(vormla::test::NewLayoutTest());
  tests.emplace_back(vormla::test::NewConditionTest());
  tests.emplace_back(vormla::test::NewTreeTest());
  tests.emplace_back(vormla::test::NewSettingsTest());
  tests.emplace_back(vormla::test::NewServicesTest());
  tests.emplace_back(vormla::test::NewInstanceTest());
  tests.emplace_back(vormla::test::NewTaskbarTest());
  tests.emplace_back(vormla::test::NewRunTest());
  tests.emplace_back(vormla::test::NewRunEndTest());
  tests.emplace_back(vormla::test::NewSignalCloseTest());
  int failures = 0;
  for (const auto& test : tests) failures += QTest::qExec(test.get(), argc, argv);
  return failures == 0 ? 0 : 1;
}

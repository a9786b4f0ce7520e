// Window runs against the demo market: the market set up for the program, and a
// window over the shipped catalogue that records what a run shows.
#pragma once

#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "GuiTestKit.h"
#include "demo-market/DemoMarket.h"

namespace vormla::test {

// The demo market on a free port with the program pointed at it: its CA trusted,
// no pauses, no proxy. Stop puts the environment back.
class MarketForWindows {
 public:
  bool Start() {
    market_ = std::make_unique<demo::DemoMarket>();
    const QString ca = work_.filePath(QStringLiteral("ca.pem"));
    if (!work_.isValid() || !market_->Start() || !market_->WriteCaFile(ca.toStdString())) return false;
    qputenv("VORMLA_SITE_ROOT", QByteArray::fromStdString(market_->SiteRoot()));
    qputenv("VORMLA_CA_FILE", ca.toLocal8Bit());
    qputenv("VORMLA_PAUSE_SCALE", "0");
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(proxy);
    return true;
  }
  void Stop() {
    qunsetenv("VORMLA_SITE_ROOT");
    qunsetenv("VORMLA_CA_FILE");
    qunsetenv("VORMLA_PAUSE_SCALE");
    if (market_) market_->Stop();
  }
  demo::DemoMarket& Market() { return *market_; }

 private:
  QTemporaryDir work_;
  std::unique_ptr<demo::DemoMarket> market_;
};

inline bool IsItemText(const QString& text) { return text.startsWith(QStringLiteral("分類 : ")); }

// A window over the shipped catalogue with what a run shows recorded.
struct RunWindow : WindowFixture {
  explicit RunWindow(bool taskbar = false) : WindowFixture(QStringLiteral("vm_data.db"), false) {
    Services.TaskbarAvailable = taskbar;
    ShowAndLoad();
    QObject::connect(Window.get(), &MainWindow::StatusShown, Window.get(), [this](const QString& text) {
      Texts << text;
      if (OnText) OnText(text);
    });
    auto* bar = Control<QProgressBar>(*Window, "prgBar");
    QObject::connect(bar, &QProgressBar::valueChanged, Window.get(), [this, bar](int value) {
      Bar << QStringLiteral("%1 of %2..%3").arg(value).arg(bar->minimum()).arg(bar->maximum());
    });
  }

  // The Nth item text of the run runs `action` while the worker waits for it.
  void AtItem(int n, std::function<void()> action) {
    OnText = [this, n, action, seen = 0](const QString& text) mutable {
      if (!IsItemText(text) || ++seen != n) return;
      // Resetting OnText destroys this closure: keep the action first.
      const std::function<void()> act = action;
      OnText = nullptr;
      act();
    };
  }

  void Start(const QString& csv) {
    Services.SaveChoice = csv;
    Control<QPushButton>(*Window, "btnAction")->click();
  }

  bool Idle() const { return WindowIdle(*Window); }

  QStringList Texts;
  QStringList Bar;
  std::function<void(const QString&)> OnText;
};

}  // namespace vormla::test

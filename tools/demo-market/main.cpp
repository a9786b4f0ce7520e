// vormla-demo-market: the local marketplace on its own, for trying the program out.
// Prints "https://127.0.0.1:PORT" once it listens and runs until SIGINT or SIGTERM.
// SIGUSR1 moves the goods on to the next revision of the catalogue (some items
// gone, some new, some with another price or stock), to try out `vormla-cli watch`;
// so does a restart with --revision N on the same --port and --ca-out, which keep
// the item addresses and the trusted CA.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <vector>

#include <CLI/CLI.hpp>

#include "demo-market/DemoMarket.h"

int main(int argc, char** argv) {
  CLI::App app{"Local Vormla marketplace over HTTPS on 127.0.0.1"};
  int port = 0;
  std::string caOut;
  int items = 0;
  app.add_option("--port", port, "port to listen on (0: a free one)")->check(CLI::Range(0, 65535));
  app.add_option("--ca-out", caOut,
                 "the CA certificate (PEM) that signs the server's certificate, for VORMLA_CA_FILE; kept with its "
                 "key in FILE.key and used again by the next start");
  app.add_option("--items", items, "list exactly this many items per search (0: varied)")->check(CLI::Range(0, 100000));
  int revision = 0;
  app.add_option("--revision", revision, "start with this revision of the goods (0: the usual ones)")
      ->check(CLI::Range(0, 1000000));
  std::string accountsFile;
  app.add_option("--accounts", accountsFile,
                 "also accept the accounts in this file: login ID and password on two lines each, one pair after "
                 "another (vormla-cli's account file is one)");
  std::vector<int> pageKb;
  app.add_option("--page-kb", pageKb, "pad item pages to between MIN and MAX kilobytes")->expected(2);
  int loginStatus = 0;
  app.add_option("--login-status", loginStatus, "answer the login form with this HTTP status and sign nobody in")
      ->check(CLI::Range(100, 599));
  bool noToken = false;
  app.add_flag("--no-login-token", noToken, "serve the login page without its CSRF token");
  bool noWholesale = false;
  app.add_flag("--no-wholesale", noWholesale, "show no wholesale price on result pages, even to members");
  CLI11_PARSE(app, argc, argv);

  // Block the stop signals before any thread starts, then wait for one of them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  vormla::demo::DemoMarketOptions options;
  options.port = port;
  options.catalogue.itemsPerSearch = items;
  options.catalogue.revision = revision;
  if (pageKb.size() == 2) {
    options.catalogue.pageBytesMin = std::min(pageKb[0], pageKb[1]) * 1024;
    options.catalogue.pageBytesMax = std::max(pageKb[0], pageKb[1]) * 1024;
  }
  if (!accountsFile.empty()) {
    std::ifstream in(accountsFile, std::ios::binary);
    if (!in) {
      std::cerr << "vormla-demo-market: cannot read " << accountsFile << "\n";
      return 1;
    }
    std::string loginId, password;
    while (std::getline(in, loginId) && std::getline(in, password)) options.accounts.emplace_back(loginId, password);
  }
  if (!caOut.empty()) {
    try {
      options.ca = vormla::demo::KeptCa(caOut);
    } catch (const std::runtime_error& error) {
      std::cerr << "vormla-demo-market: " << caOut << ": " << error.what() << "\n";
      return 1;
    }
  }
  vormla::demo::DemoMarket market(options);
  if (!market.Start()) {
    std::cerr << "vormla-demo-market: cannot listen on 127.0.0.1:" << port << "\n";
    return 1;
  }
  market.SetLoginFormStatus(loginStatus);
  market.SetLoginTokenShown(!noToken);
  market.SetWholesaleShown(!noWholesale);
  std::cout << market.SiteRoot() << std::endl;

  int received = 0;
  while (sigwait(&signals, &received) == 0 && received == SIGUSR1) {
    market.SetCatalogueRevision(market.Goods().Revision() + 1);
    std::cout << "revision " << market.Goods().Revision() << std::endl;
  }
  market.Stop();
  return 0;
}

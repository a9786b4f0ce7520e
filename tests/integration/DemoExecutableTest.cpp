// The demo market as a program: it names its site root on one line, serves with
// the CA it wrote, and ends cleanly on SIGTERM.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <vector>

#include "HttpFetchTestKit.h"
#include "engine/JobTestKit.h"
#include "web/HttpFetch.h"
#include "web/SiteConfig.h"

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;

// A started vormla-demo-market and the site root it printed ("" when none).
struct Market {
  pid_t pid = -1;
  std::string root;
};

Market StartMarket(const std::string& program, std::vector<std::string> arguments) {
  int out[2];
  if (::pipe(out) != 0) return {};
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  Market market;
  market.pid = ::fork();
  if (market.pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  FILE* stream = ::fdopen(out[0], "r");
  char line[256] = {};
  if (stream != nullptr && std::fgets(line, sizeof line, stream) != nullptr) market.root = line;
  if (stream != nullptr) std::fclose(stream);
  EXPECT_TRUE(std::regex_match(market.root, std::regex("https://127\\.0\\.0\\.1:[0-9]+\n"))) << market.root;
  if (!market.root.empty()) market.root.pop_back();
  return market;
}

// SIGTERM, and a clean end.
void StopMarket(const Market& market) {
  ::kill(market.pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(market.pid, &status, 0), market.pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The login page through the engine's own fetch, trusting caFile.
int LoginStatus(const std::string& root, const std::string& caFile) {
  ScopedEnv ca("VORMLA_CA_FILE", caFile.c_str());
  ScopedEnv proxy("https_proxy", nullptr);
  std::string page;
  const FetchResult result = HttpGetPage(root + "/login", page);
  EXPECT_THAT(page, HasSubstr("<meta name=\"csrf-token\" content=\""));
  return result.status;
}

std::string Program() { return ProgramFolder() + "vormla-demo-market"; }

TEST(DemoExecutableTest, PrintsItsRootServesAndStopsOnSigterm) {
  if (!std::filesystem::exists(Program())) GTEST_SKIP() << "vormla-demo-market is not built";
  TempFolder folder;
  const Market market = StartMarket(Program(), {"--port", "0", "--ca-out", folder / "ca.pem"});
  EXPECT_EQ(LoginStatus(market.root, folder / "ca.pem"), 200);
  StopMarket(market);
}

// Restarted on its port with the same CA file, the market keeps its address and
// its CA, so item addresses and VORMLA_CA_FILE stay valid; a key that is not the
// certificate's gets a new CA.
TEST(DemoExecutableTest, ARestartOnItsPortWithItsCaFileKeepsAddressAndCa) {
  if (!std::filesystem::exists(Program())) GTEST_SKIP() << "vormla-demo-market is not built";
  TempFolder folder;
  const std::string ca = folder / "ca.pem";
  const Market first = StartMarket(Program(), {"--port", "0", "--ca-out", ca});
  StopMarket(first);
  const std::string port = first.root.substr(first.root.rfind(':') + 1);
  const std::string pem = ReadBytes(ca);
  EXPECT_EQ(std::filesystem::status(ca + ".key").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  const Market second = StartMarket(Program(), {"--port", port, "--ca-out", ca, "--revision", "1"});
  EXPECT_EQ(second.root, first.root);
  EXPECT_EQ(ReadBytes(ca), pem);
  EXPECT_EQ(LoginStatus(second.root, ca), 200);
  StopMarket(second);

  WriteBytes(ca + ".key", ReadBytes(ca));  // no key at all
  const Market third = StartMarket(Program(), {"--port", port, "--ca-out", ca});
  EXPECT_NE(ReadBytes(ca), pem);
  EXPECT_EQ(LoginStatus(third.root, ca), 200);
  StopMarket(third);
}

}  // namespace
}  // namespace vormla::testing

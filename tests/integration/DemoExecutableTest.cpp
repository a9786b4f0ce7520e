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

#include "HttpFetchTestKit.h"
#include "engine/JobTestKit.h"
#include "net/HttpFetch.h"
#include "net/SiteConfig.h"

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;

TEST(DemoExecutableTest, PrintsItsRootServesAndStopsOnSigterm) {
  const std::string program = ProgramFolder() + "vormla-demo-market";
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "vormla-demo-market is not built";
  TempFolder folder;
  const std::string ca = folder / "ca.pem";

  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execl(program.c_str(), program.c_str(), "--port", "0", "--ca-out", ca.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  FILE* stream = ::fdopen(out[0], "r");
  ASSERT_NE(stream, nullptr);
  char line[256] = {};
  const bool gotLine = std::fgets(line, sizeof line, stream) != nullptr;
  std::fclose(stream);
  std::string root = gotLine ? line : "";
  EXPECT_TRUE(std::regex_match(root, std::regex("https://127\\.0\\.0\\.1:[0-9]+\n"))) << root;
  if (!root.empty()) root.pop_back();

  {
    ScopedEnv caFile("VORMLA_CA_FILE", ca.c_str());
    ScopedEnv proxy("https_proxy", nullptr);
    std::string page;
    const FetchResult result = HttpGetPage(root + "/login", page);
    EXPECT_EQ(result.status, 200);
    EXPECT_THAT(page, HasSubstr("<meta name=\"csrf-token\" content=\""));
  }

  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vormla::testing

// diff and account set stopped by SIGINT or SIGTERM while they wait for input that
// does not come: exit 3 at once, the file they were to write as it was, nothing of
// their own left beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "engine/RetrievalJob.h"

namespace vormla::cli {
namespace {

// Entries in folder: the file kept, and a temporary file of the program's own while it works.
size_t Entries(const std::string& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

struct StopCase {
  bool diff;  // else account set
  int signal;
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << (c.diff ? "diff" : "account set") << (c.signal == SIGINT ? " SIGINT" : " SIGTERM");
}

class CliStop : public ::testing::TestWithParam<StopCase> {
 protected:
  clitest::TempFolder work_;
};

TEST_P(CliStop, WaitingCommandEndsAtOnceAndLeavesItsFileAsItWas) {
  const StopCase c = GetParam();
  const std::string folder = c.diff ? work_ / "out" : work_ / "config/vormla-search";
  const std::string kept = folder + (c.diff ? "/report.csv" : "/account");
  const std::string before = c.diff ? "an earlier report\r\n" : "kept\nsecret\n";
  std::filesystem::create_directories(folder);
  clitest::WriteBytes(kept, before);
  std::filesystem::permissions(kept, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  clitest::WriteBytes(work_ / "old.csv", CsvHeader() + "\r\n");

  // Input that begins and never ends: a FIFO this test keeps open for writing.
  const std::string fifo = work_ / "input";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int feed = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  const std::string start = c.diff ? CsvHeader() + "\r\n" : "newid\n";
  ASSERT_EQ(::write(feed, start.data(), start.size()), static_cast<ssize_t>(start.size()));
  const std::vector<std::string> arguments =
      c.diff ? std::vector<std::string>{"diff", work_ / "old.csv", fifo, "--output", kept}
             : std::vector<std::string>{"account", "set"};
  clitest::CliProcess process(arguments, {}, work_.Path(), false, c.diff ? "/dev/null" : fifo);
  const bool allTaken = clitest::WaitFor(
      [feed] {
        int unread = -1;
        return ::ioctl(feed, FIONREAD, &unread) == 0 && unread == 0;
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(allTaken) << "the command did not read its input";
  EXPECT_EQ(Entries(folder), c.diff ? 2u : 1u) << "diff makes its report's own file before it reads";

  const auto signalled = std::chrono::steady_clock::now();
  process.Signal(c.signal);
  const clitest::Finished done = process.WaitAtMost(std::chrono::seconds(5));
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
  ::close(feed);
  EXPECT_EQ(done.exitCode, kExitCancelled) << done.err;
  EXPECT_THAT(done.err, ::testing::EndsWith("vormla-cli: 中断しました。\n"));
  EXPECT_EQ(clitest::ReadBytes(kept), before);
  EXPECT_EQ(Entries(folder), 1u);
}

INSTANTIATE_TEST_SUITE_P(DiffAndAccountSet, CliStop,
                         ::testing::Values(StopCase{true, SIGINT}, StopCase{true, SIGTERM}, StopCase{false, SIGINT},
                                           StopCase{false, SIGTERM}));

}  // namespace
}  // namespace vormla::cli

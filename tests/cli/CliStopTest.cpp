// Commands other than run and watch stopped by SIGINT or SIGTERM while they wait
// for input that does not come: exit 3 at once, the file they were to write left
// as it was, nothing of their own left beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "engine/RetrievalJob.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::ReadBytes;
using clitest::TempFolder;
using clitest::WriteBytes;

// Entries of folder whose names start with prefix.
std::vector<std::string> Leftovers(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// Hands out text once, then nothing (the FIFO stays open).
std::function<std::string()> Once(std::string text) {
  return [text = std::move(text), given = false]() mutable {
    if (given) return std::string();
    given = true;
    return text;
  };
}

struct StopCase {
  const char* command;
  int signal;
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << c.command << (c.signal == SIGINT ? " SIGINT" : " SIGTERM");
}

class CliStop : public ::testing::TestWithParam<StopCase> {
 protected:
  TempFolder work_;
};

TEST_P(CliStop, WaitingCommandEndsAtOnceAndLeavesItsFileAsItWas) {
  const StopCase c = GetParam();
  const std::string fifo = work_ / "input";
  const bool diff = std::string(c.command) == "diff";
  std::string kept;     // the file the command was to write, as it stood before
  std::string keptIn;   // the folder it writes in
  std::string temporaryPrefix;
  std::unique_ptr<clitest::FifoFeeder> feeder;
  std::unique_ptr<clitest::CliProcess> process;
  if (diff) {
    // The newer file's header and no row yet: diff waits for the rest.
    const std::string header = CsvHeader() + "\r\n";
    WriteBytes(work_ / "old.csv", header);
    kept = work_ / "report.csv";
    WriteBytes(kept, "an earlier report\r\n");
    keptIn = work_.Path();
    temporaryPrefix = ".vormla-run-";
    feeder = std::make_unique<clitest::FifoFeeder>(fifo, Once(header), true);
    process = std::make_unique<clitest::CliProcess>(
        std::vector<std::string>{"diff", work_ / "old.csv", fifo, "--output", kept}, std::map<std::string, std::string>{},
        work_.Path());
  } else {
    // The login ID and no password yet: account set waits for it.
    keptIn = work_ / "config/vormla-search";
    kept = keptIn + "/account";
    std::filesystem::create_directories(keptIn);
    WriteBytes(kept, "kept\nsecret\n");
    std::filesystem::permissions(kept, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    temporaryPrefix = ".account-";
    feeder = std::make_unique<clitest::FifoFeeder>(fifo, Once("newid\n"), true);
    process = std::make_unique<clitest::CliProcess>(std::vector<std::string>{"account", "set"},
                                                    std::map<std::string, std::string>{}, work_.Path(), false, fifo);
  }
  ASSERT_TRUE(process->Started());
  ASSERT_TRUE(clitest::WaitFor([&] { return feeder->Drained(); }, std::chrono::seconds(10)))
      << "the command did not read its input";
  if (diff) {
    EXPECT_EQ(Leftovers(keptIn, temporaryPrefix).size(), 1u) << "the report's own file is there while diff reads";
  }

  const auto signalled = std::chrono::steady_clock::now();
  process->Signal(c.signal);
  const Finished done = process->WaitAtMost(std::chrono::seconds(5));
  const auto took = std::chrono::steady_clock::now() - signalled;

  EXPECT_EQ(done.exitCode, kExitCancelled) << done.err;
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_THAT(done.err, ::testing::EndsWith("vormla-cli: 中断しました。\n"));
  EXPECT_EQ(ReadBytes(kept), diff ? "an earlier report\r\n" : "kept\nsecret\n");
  EXPECT_THAT(Leftovers(keptIn, temporaryPrefix), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(DiffAndAccountSet, CliStop,
                         ::testing::Values(StopCase{"diff", SIGINT}, StopCase{"diff", SIGTERM},
                                           StopCase{"account set", SIGINT}, StopCase{"account set", SIGTERM}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(std::string(info.param.command) == "diff" ? "Diff" : "AccountSet") +
                                  (info.param.signal == SIGINT ? "Sigint" : "Sigterm");
                         });

}  // namespace
}  // namespace vormla::cli

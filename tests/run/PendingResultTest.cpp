// The result file policy's file: written beside the target, put in place only on
// commit, locked while it lives; a killed run's leftover is removed by the next
// run in the folder, a live one's never.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "engine/JobTestKit.h"
#include "run/PendingResult.h"

namespace vormla {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

size_t EntriesIn(const TempFolder& folder) {
  return static_cast<size_t>(
      std::distance(std::filesystem::directory_iterator(folder.Path()), std::filesystem::directory_iterator()));
}

// Whether another open file description can take the file's lock now.
bool Lockable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool taken = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) ::close(fd);
  return taken;
}

TEST(PendingResult, TargetChangesOnlyOnCommitAndNothingElseStays) {
  TempFolder folder;
  const std::string file = folder / "old.csv";
  WriteBytes(file, "old rows");
  {
    PendingResult result(file);
    ASSERT_TRUE(result.Ready());
    EXPECT_EQ(std::filesystem::path(result.TemporaryPath()).parent_path(), folder.Path());
    EXPECT_FALSE(Lockable(result.TemporaryPath())) << "held for the run's whole life";
    WriteBytes(result.TemporaryPath(), "new rows");
    EXPECT_EQ(ReadBytes(file), "old rows");
    EXPECT_TRUE(result.Commit());
  }
  EXPECT_EQ(ReadBytes(file), "new rows");
  {
    PendingResult dropped(file);
    WriteBytes(dropped.TemporaryPath(), "never seen");
  }
  EXPECT_EQ(ReadBytes(file), "new rows");
  EXPECT_EQ(EntriesIn(folder), 1u);

  // A name as long as the folder takes leaves room for the temporary one.
  const std::string longName = folder / (std::string(251, 'r') + ".csv");
  PendingResult longer(longName);
  EXPECT_TRUE(longer.Commit());
  EXPECT_TRUE(std::filesystem::is_regular_file(longName));

  // A folder that takes no file: not ready, and why.
  WriteBytes(folder / "plain", "x");
  PendingResult refused(folder / "plain/out.csv");
  EXPECT_FALSE(refused.Ready());
  EXPECT_EQ(refused.Error(), ENOTDIR);
}

TEST(PendingResult, LeftoversOfDeadRunsGoAndALiveRunsFileStays) {
  TempFolder folder;
  WriteBytes(folder / ".vormla-run-dead01", "a killed run's rows");
  WriteBytes(folder / ".vormla-run-live01", "a running run's rows");
  WriteBytes(folder / "vormla-run-kept.csv", "not of the pattern");
  const int live = ::open((folder / ".vormla-run-live01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX | LOCK_NB), 0);

  PendingResult result(folder / "new.csv");
  ASSERT_TRUE(result.Ready());
  EXPECT_FALSE(std::filesystem::exists(folder / ".vormla-run-dead01"));
  EXPECT_EQ(ReadBytes(folder / ".vormla-run-live01"), "a running run's rows");
  EXPECT_TRUE(std::filesystem::exists(folder / "vormla-run-kept.csv"));

  // Once its process lets go, the next run takes it for what it is.
  ::close(live);
  EXPECT_EQ(RemoveLeftovers(folder.Path()), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / ".vormla-run-live01"));
  EXPECT_TRUE(std::filesystem::exists(result.TemporaryPath())) << "a live run's own file is never a leftover";
}

}  // namespace
}  // namespace vormla

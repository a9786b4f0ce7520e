// The rules a run's request passes before anything is fetched: price pairs, the
// ".csv" rule, what may stand at the output path, and the picture folder.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "engine/JobTestKit.h"
#include "run/StartRules.h"
#include "support/SmallFileSystem.h"

namespace vormla {
namespace {

using testing::TempFolder;

TEST(StartRules, PricePairsArePutInOrderOnlyWhenBothAreGivenAndUpsideDown) {
  struct Case {
    std::string from, to, wantFrom, wantTo;
  };
  for (const Case& c : std::vector<Case>{
           {"5000", "1000", "1000", "5000"},
           {"0300", "0020", "20", "300"},   // swapped values come back as plain decimal
           {"0100", "100", "0100", "100"},  // equal values stay as typed
           {"5000", "", "5000", ""},
           {"10", "900", "10", "900"},
       }) {
    std::string from = c.from, to = c.to;
    OrderPricePair(from, to);
    EXPECT_EQ(from + "|" + to, c.wantFrom + "|" + c.wantTo) << c.from << "|" << c.to;
  }
}

TEST(StartRules, CsvExtensionIsAddedUnlessTheNameEndsInIt) {
  for (const auto& [given, want] : std::vector<std::pair<std::string, std::string>>{
           {"result", "result.csv"},
           {"result.csv", "result.csv"},
           {"result.CSV", "result.CSV"},
           {"result.Csv", "result.Csv"},
           {"result.txt", "result.txt.csv"},
           {"result.csv.bak", "result.csv.bak.csv"},
           {"out.d/result", "out.d/result.csv"},  // a dot in the folder is no extension
           {"result.", "result..csv"},
       }) {
    EXPECT_EQ(ResultFileName(given), want);
  }
}

TEST(StartRules, OutputPathIsRefusedAsGivenWhenNoFileCanStandThere) {
  TempFolder work;
  std::filesystem::create_directory(work / "folder");
  std::filesystem::create_directory(work / "taken.csv");
  testing::WriteBytes(work / "plain", "a file");
  testing::WriteBytes(work / "old.csv", "a result");
  struct Case {
    std::string given;
    StartRefusal refusal;
    std::string path, target;
  };
  for (const Case& c : std::vector<Case>{
           {work / "new", StartRefusal::kNone, "", work / "new.csv"},
           {work / "old.csv", StartRefusal::kNone, "", work / "old.csv"},
           // Never a sibling file made of a folder or a device by the ".csv" rule.
           {work / "folder", StartRefusal::kOutputIsFolder, work / "folder", work / "folder"},
           {"/dev/full", StartRefusal::kOutputNotRegular, "/dev/full", "/dev/full"},
           {work / "taken", StartRefusal::kOutputIsFolder, work / "taken.csv", work / "taken.csv"},
           {work / "missing/x", StartRefusal::kOutputFolderMissing, work / "missing", work / "missing/x.csv"},
           {work / "plain/x", StartRefusal::kOutputFolderNotFolder, work / "plain", work / "plain/x.csv"},
       }) {
    std::string target;
    const StartCheck check = CheckOutput(c.given, target);
    EXPECT_EQ(check.Refusal, c.refusal) << c.given;
    EXPECT_EQ(check.Path, c.path) << c.given;
    EXPECT_EQ(target, c.target) << c.given;
  }
}

TEST(StartRules, PictureFolderMustExistAndTakeANewFile) {
  TempFolder work;
  testing::WriteBytes(work / "plain", "a file");
  testing::SmallFileSystem readOnly(64 * 1024, true);
  struct Case {
    std::string text;
    StartRefusal refusal;
    int error;
  };
  std::vector<Case> cases = {
      {"  " + work / "" + " ", StartRefusal::kNone, 0},
      {work / "missing", StartRefusal::kPictureFolderMissing, 0},
      {work / "plain", StartRefusal::kPictureFolderMissing, 0},
      {"", StartRefusal::kPictureFolderMissing, 0},
  };
  if (readOnly.Mounted()) cases.push_back({readOnly / "", StartRefusal::kPictureFolderUnwritable, EROFS});
  for (const Case& c : cases) {
    const StartCheck check = CheckPictureFolder(c.text);
    EXPECT_EQ(check.Refusal, c.refusal) << c.text;
    EXPECT_EQ(check.Error, c.error) << c.text;
  }
  // The probe leaves nothing behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(PictureFolderText("  " + work / "pics "), work / "pics/");
  if (!readOnly.Mounted()) GTEST_SKIP() << readOnly.WhyNot();
}

}  // namespace
}  // namespace vormla

// Saving item pictures through the real engine and HTTP stack against the demo market.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "DemoTestKit.h"

namespace vormla::testing {
namespace {

namespace fs = std::filesystem;

// The file name a picture URL is saved under: its path's last piece, no query.
std::string LastPiece(const std::string& url) {
  std::string trimmed = url.substr(0, url.find_first_of("?#"));
  while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  return trimmed.substr(trimmed.rfind('/') + 1);
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.insert(entry.path().filename().string());
  return names;
}

class PictureIntegrationTest : public DemoTest {
 protected:
  // Categories that between them list an item with more than ten pictures, one
  // with a picture that answers 404, and one whose number is no safe folder name.
  void SetUp() override {
    DemoTest::SetUp();
    bool many = false, missing = false, unsafe = false;
    for (int i = 1; i < 500 && !(many && missing && unsafe); ++i) {
      const std::string code = std::to_string(7000 + i);
      bool useful = false;
      for (const auto& item : Market().ExpectedRows(PlainTarget(code), "", true)) {
        if (!many && item.picturesSaved && item.pictureUrls.size() > 10) useful = many = true;
        if (!missing && item.picturesSaved && !item.missingPictureUrls.empty()) useful = missing = true;
        if (!unsafe && !item.columns[0].empty() && !item.picturesSaved) useful = unsafe = true;
      }
      if (useful) codes_.push_back(code);
    }
    ASSERT_TRUE(many && missing && unsafe);
    list_.clear();
    children_.clear();
    for (size_t i = 0; i < codes_.size(); ++i) {
      children_.emplace_back("分類" + std::to_string(i), codes_[i]);
      list_ += std::to_string(i + 1) + ",";
    }
    pictures_ = scratch_.Path() / "pictures";
    fs::create_directories(pictures_);
  }

  // Every child searched, the pictures saved; the rows go to csv.
  std::vector<std::vector<std::string>> RunSaving(const std::string& csv) {
    SearchConditions c;
    c.SelectedCategories = list_;
    c.Pictures = {true, pictures_.string() + "/"};
    return RunJob(c, Tree("画像", "70", children_), scratch_ / csv);
  }

  std::vector<demo::ExpectedItem> Expected() {
    std::vector<std::string> columns(codes_.size());
    return Market().ExpectedRunRows(columns);
  }

  std::vector<std::string> codes_;
  std::vector<std::pair<std::string, std::string>> children_;
  std::string list_;
  fs::path pictures_;
};

TEST_F(PictureIntegrationTest, PicturesLandInTheManagementNumberFolder) {
  const auto rows = RunSaving("run.csv");
  const auto expected = Expected();
  ASSERT_EQ(rows.size(), expected.size());

  std::map<std::string, std::set<std::string>> folders;  // what each folder must hold
  for (const auto& item : expected) {
    if (!item.picturesSaved) continue;
    auto& names = folders[item.columns[0]];
    for (const auto& url : item.pictureUrls) {
      const bool missing = std::find(item.missingPictureUrls.begin(), item.missingPictureUrls.end(), url) !=
                           item.missingPictureUrls.end();
      const fs::path file = pictures_ / item.columns[0] / LastPiece(url);
      if (missing) {
        EXPECT_FALSE(fs::exists(file)) << url;
        continue;
      }
      names.insert(LastPiece(url));
      EXPECT_EQ(ReadBytes(file.string()), Market().PictureBytes(url)) << url;
    }
  }
  // Nothing else: no partial downloads, no folder for an unsafe number, nothing above.
  std::set<std::string> wanted;
  for (const auto& [folder, names] : folders) {
    wanted.insert(folder);
    EXPECT_EQ(Entries(pictures_ / folder), names) << folder;
  }
  EXPECT_EQ(Entries(pictures_), wanted);
  for (const auto& item : expected) {
    if (!item.picturesSaved && !item.columns[0].empty()) {
      EXPECT_FALSE(fs::exists(scratch_.Path() / LastPiece(item.columns[0]))) << item.columns[0];
    }
  }
  // Ten picture columns at most, though every picture was saved.
  for (size_t i = 0; i < rows.size(); ++i) {
    for (size_t k = 0; k < 10; ++k) {
      EXPECT_EQ(rows[i][25 + k], k < expected[i].pictureUrls.size() ? expected[i].pictureUrls[k] : "");
    }
  }
}

TEST_F(PictureIntegrationTest, APictureThatFailedIsFetchedByALaterRunAndOthersAreNot) {
  RunSaving("first.csv");
  const auto expected = Expected();
  std::set<std::string> missingTargets;
  for (const auto& item : expected) {
    if (!item.picturesSaved) continue;
    for (const auto& url : item.missingPictureUrls) {
      EXPECT_FALSE(fs::exists(pictures_ / item.columns[0] / LastPiece(url)));
      missingTargets.insert(url.substr(Root().size()));
    }
  }
  ASSERT_FALSE(missingTargets.empty());

  Market().SetMissingPicturesServed(true);
  Market().ClearRecords();
  RunSaving("second.csv");
  std::set<std::string> fetched;
  for (const auto& request : Market().Requests()) {
    if (request.target.rfind("/img/", 0) == 0) fetched.insert(request.target);
  }
  EXPECT_EQ(fetched, missingTargets) << "pictures already on disk are not fetched again";
  for (const auto& item : expected) {
    if (!item.picturesSaved) continue;
    for (const auto& url : item.missingPictureUrls) {
      EXPECT_EQ(ReadBytes((pictures_ / item.columns[0] / LastPiece(url)).string()), Market().PictureBytes(url));
    }
  }
}

}  // namespace
}  // namespace vormla::testing

// Picture URLs gathered from image lines and saved into the item's folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <set>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"

namespace vormla {
namespace {

using testing::FakeWebAccess;
using testing::ReadBytes;
using testing::RecordingObserver;
using testing::TempFolder;

std::string ImageLine(const std::string& url) { return "      <img class=\"lazy\" data-url=\"" + url + "\" alt=\"\">"; }

// Names of everything below a folder, relative to it.
std::set<std::string> Tree(const std::filesystem::path& root) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    names.insert(std::filesystem::relative(entry.path(), root).string());
  return names;
}

class ItemImagesTest : public ::testing::Test {
 protected:
  ItemImagesTest() { std::filesystem::create_directory(images); }

  std::unique_ptr<RetrievalJob> MakeJob(bool save = true) {
    SearchConditions c;
    c.Pictures = {save, images.string() + "/"};
    return std::make_unique<RetrievalJob>(c, std::vector<CategoryNode>{}, ResultTarget{}, observer, web,
                                          "https://market.test");
  }
  // Serves a body for every URL so that each download leaves a file.
  void Serve(const std::string& url) { web.bodies[url] = "body of " + url; }

  TempFolder folder;
  std::filesystem::path images = folder.Path() / "images";
  RecordingObserver observer;
  FakeWebAccess web;
};

TEST_F(ItemImagesTest, TwelvePicturesFillTenColumnsAndAllAreSaved) {
  auto job = MakeJob();
  job->Record[0] = "M100";
  for (int i = 1; i <= 12; ++i) {
    const std::string url = "https://img.test/items/" + std::to_string(i) + ".jpg";
    Serve(url);
    job->CollectImageUrl(ImageLine(url));
  }
  EXPECT_EQ(job->ImageCount, 10);
  EXPECT_EQ(job->ImageUrls.size(), 12u);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(job->Record[25 + i], "https://img.test/items/" + std::to_string(i + 1) + ".jpg");
  EXPECT_EQ(job->Record[35], "");

  job->SaveItemImages();
  const auto downloads = web.CallsOf("DOWNLOAD");
  ASSERT_EQ(downloads.size(), 12u);
  EXPECT_EQ(downloads[11].target, "https://img.test/items/12.jpg");
  EXPECT_EQ(downloads[11].file, (images / "M100" / "12.jpg").string());
  EXPECT_EQ(ReadBytes((images / "M100" / "1.jpg").string()), "body of https://img.test/items/1.jpg");
  EXPECT_EQ(Tree(images).size(), 13u);  // the folder and twelve files
}

TEST_F(ItemImagesTest, RepeatsCountOnceWhateverTheLetterCase) {
  auto job = MakeJob();
  job->Record[0] = "M1";
  Serve("https://img.test/a/Pic.JPG");
  job->CollectImageUrl(ImageLine("https://img.test/a/Pic.JPG"));
  job->CollectImageUrl(ImageLine("https://img.test/a/Pic.JPG"));
  job->CollectImageUrl(ImageLine("https://img.test/a/Pic.JPG"));
  job->CollectImageUrl(ImageLine("HTTPS://IMG.TEST/A/pic.jpg"));
  EXPECT_EQ(job->ImageCount, 1);
  EXPECT_EQ(job->ImageUrls.size(), 1u);
  EXPECT_EQ(job->Record[25], "https://img.test/a/Pic.JPG");
  EXPECT_EQ(job->Record[26], "");
  job->SaveItemImages();
  EXPECT_EQ(web.CallsOf("DOWNLOAD").size(), 1u);
}

TEST_F(ItemImagesTest, TrailBytesAreNotFoldedAsLetters) {
  // ア is 0x83 0x41 and ヂ is 0x83 0x61: their trail bytes read as "A" and "a".
  ASSERT_EQ(Utf8ToSjis("ア"), "\x83\x41");
  ASSERT_EQ(Utf8ToSjis("ヂ"), "\x83\x61");
  auto job = MakeJob(false);
  job->CollectImageUrl(ImageLine("https://img.test/ア.jpg"));
  job->CollectImageUrl(ImageLine("https://img.test/ヂ.jpg"));
  EXPECT_EQ(job->ImageCount, 2);
  EXPECT_EQ(job->Record[26], Utf8ToSjis("https://img.test/ヂ.jpg"));
}

TEST_F(ItemImagesTest, RepeatsGoInPageOrderAndTheFirstSpellingStays) {
  struct Case {
    std::vector<std::string> urls, kept;  // as the page lists them; the distinct ones kept (UTF-8)
  };
  std::vector<Case> cases = {
      {{"https://a.test/1.jpg", "https://b.test/2.jpg", "HTTPS://A.TEST/1.JPG", "https://b.test/3.jpg",
        "https://B.test/2.jpg"},
       {"https://a.test/1.jpg", "https://b.test/2.jpg", "https://b.test/3.jpg"}},
      // ア is 0x83 0x41, ヂ 0x83 0x61: the letters beside them fold, their trail bytes do not.
      {{"https://img.test/Aア.jpg", "https://img.test/aヂ.jpg", "https://img.test/aア.JPG", "https://img.test/Aヂ.jpg"},
       {"https://img.test/Aア.jpg", "https://img.test/aヂ.jpg"}},
      {{}, {}},
  };
  // 40,000 lines: 10,000 pictures, each met again three times in other spellings.
  for (int round = 0; round < 4; ++round) {
    for (int n = 0; n < 10000; ++n) {
      const std::string url =
          (round % 2 ? "https://IMG.test" : "https://img.test") +
          (round < 2 ? "/p/Item" + std::to_string(n) + ".Jpg" : "/P/ITEM" + std::to_string(n) + ".JPG");
      cases.back().urls.push_back(url);
      if (round == 0) cases.back().kept.push_back(url);
    }
  }
  for (const Case& c : cases) {
    auto job = MakeJob(false);
    for (const std::string& url : c.urls) job->CollectImageUrl(ImageLine(url));
    std::vector<std::string> kept;
    for (const std::string& url : c.kept) kept.push_back(Utf8ToSjis(url));
    EXPECT_EQ(job->ImageUrls, kept) << c.urls.size() << " lines";
  }
  // The next item page starts its own list: a picture of the last one counts again.
  auto job = MakeJob(false);
  job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
  job->ImageUrls.clear();
  job->CollectImageUrl(ImageLine("https://IMG.test/1.jpg"));
  EXPECT_EQ(job->ImageUrls, std::vector<std::string>{"https://IMG.test/1.jpg"});
}

TEST_F(ItemImagesTest, SchemeIsAlwaysHttps) {
  auto job = MakeJob(false);
  job->CollectImageUrl(ImageLine("http://img.test/1.jpg"));
  job->CollectImageUrl(ImageLine("//img.test/2.jpg"));
  job->CollectImageUrl("<img data-url=\"ftp://img.test/3.jpg\">");
  EXPECT_EQ(job->Record[25], "https://img.test/1.jpg");
  // A value without a scheme holds no colon: that line gives nothing.
  EXPECT_EQ(job->Record[26], "https://img.test/3.jpg");
  EXPECT_EQ(job->ImageCount, 2);
}

TEST_F(ItemImagesTest, EarlierAttributeWithAColonWins) {
  auto job = MakeJob(false);
  job->CollectImageUrl("<img src=\"https://cdn.test/thumb.png\" data-url=\"https://img.test/big.jpg\">");
  EXPECT_EQ(job->Record[25], "https://cdn.test/thumb.png");
}

TEST_F(ItemImagesTest, LinesWithoutColonOrClosingQuoteGiveNothing) {
  auto job = MakeJob(false);
  job->CollectImageUrl("<img data-url=\"/relative/1.jpg\">");
  job->CollectImageUrl("<img data-url=\"https://img.test/unclosed.jpg");
  EXPECT_EQ(job->ImageCount, 0);
  EXPECT_TRUE(job->ImageUrls.empty());
}

TEST_F(ItemImagesTest, EmptyManagementNumberOrSavingOffCreatesNothing) {
  for (const bool save : {true, false}) {
    auto job = MakeJob(save);
    job->Record[0] = save ? "" : "M1";
    Serve("https://img.test/1.jpg");
    job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
    job->SaveItemImages();
    EXPECT_EQ(job->Record[25], "https://img.test/1.jpg");
    // Asked for and not saved counts; not asked for does not.
    EXPECT_EQ(job->PicturesNotSaved(), save ? 1 : 0);
  }
  EXPECT_TRUE(web.CallsOf("DOWNLOAD").empty());
  EXPECT_TRUE(Tree(images).empty());
}

TEST_F(ItemImagesTest, EqualLastPiecesKeepTheFirst) {
  auto job = MakeJob();
  job->Record[0] = "M2";
  Serve("https://a.test/x/p.jpg");
  Serve("https://b.test/y/p.jpg");
  job->CollectImageUrl(ImageLine("https://a.test/x/p.jpg"));
  job->CollectImageUrl(ImageLine("https://b.test/y/p.jpg"));
  job->SaveItemImages();
  ASSERT_EQ(web.CallsOf("DOWNLOAD").size(), 1u);
  EXPECT_EQ(ReadBytes((images / "M2" / "p.jpg").string()), "body of https://a.test/x/p.jpg");
}

TEST_F(ItemImagesTest, TrailingSlashUsesThePieceBeforeIt) {
  auto job = MakeJob();
  job->Record[0] = "M3";
  Serve("https://img.test/pics/9/");
  job->CollectImageUrl(ImageLine("https://img.test/pics/9/"));
  job->SaveItemImages();
  EXPECT_TRUE(std::filesystem::is_regular_file(images / "M3" / "9"));
}

TEST_F(ItemImagesTest, ManagementNumbersThatAreNoPlainFolderNameWriteNothing) {
  for (const std::string number : {"../x", "a/b", "..", ".", "a\\b",
                                   "ab\x01"
                                   "c",
                                   "tab\there"}) {
    auto job = MakeJob();
    job->Record[0] = number;
    Serve("https://img.test/1.jpg");
    job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
    job->SaveItemImages();
    EXPECT_EQ(job->Record[25], "https://img.test/1.jpg") << number;
    EXPECT_EQ(job->PicturesNotSaved(), 1) << number;
  }
  EXPECT_TRUE(web.CallsOf("DOWNLOAD").empty());
  EXPECT_TRUE(Tree(images).empty());
  // Nothing beside the image folder either.
  EXPECT_EQ(Tree(folder.Path()), std::set<std::string>{"images"});
}

TEST_F(ItemImagesTest, ShiftJisNumberBecomesAUtf8Folder) {
  // ソ ends in the byte 0x5C, which is no backslash inside the character.
  auto job = MakeJob();
  job->Record[0] = Utf8ToSjis("ソフト表");
  Serve("https://img.test/1.jpg");
  job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
  job->SaveItemImages();
  EXPECT_TRUE(std::filesystem::is_regular_file(images / "ソフト表" / "1.jpg"));
}

TEST_F(ItemImagesTest, JapanesePictureNameIsFetchedAsABrowserSendsItAndStoredAsUtf8) {
  auto job = MakeJob();
  job->Record[0] = "M10";
  const std::string sent = "https://img.test/%E5%86%99%E7%9C%9F%20%E5%A4%A7.jpg";
  Serve(sent);
  job->CollectImageUrl(ImageLine("https://img.test/写真 大.jpg"));
  EXPECT_EQ(job->Record[25], Utf8ToSjis("https://img.test/写真 大.jpg"));  // the CSV keeps it as read
  job->SaveItemImages();
  const auto downloads = web.CallsOf("DOWNLOAD");
  ASSERT_EQ(downloads.size(), 1u);
  EXPECT_EQ(downloads[0].target, sent);
  EXPECT_TRUE(std::filesystem::is_regular_file(images / "M10" / "写真 大.jpg"));
  EXPECT_EQ(job->PicturesNotSaved(), 0);
}

TEST_F(ItemImagesTest, PictureNamesThatAreNoPlainFileNameAreSkipped) {
  auto job = MakeJob();
  job->Record[0] = "M4";
  for (const std::string url :
       {"https://img.test/a/..", "https://img.test/a/.", "https://img.test/a\\b.jpg", "https://img.test/ok.jpg"}) {
    Serve(url);
    job->CollectImageUrl(ImageLine(url));
  }
  EXPECT_EQ(job->ImageCount, 4);
  job->SaveItemImages();
  const auto downloads = web.CallsOf("DOWNLOAD");
  ASSERT_EQ(downloads.size(), 1u);
  EXPECT_EQ(downloads[0].target, "https://img.test/ok.jpg");
  EXPECT_EQ(Tree(folder.Path()), (std::set<std::string>{"images", "images/M4", "images/M4/ok.jpg"}));
  EXPECT_EQ(job->PicturesNotSaved(), 3);
}

TEST_F(ItemImagesTest, ExistingFileIsNeverOverwritten) {
  std::filesystem::create_directory(images / "M5");
  testing::WriteBytes((images / "M5" / "1.jpg").string(), "old");
  std::filesystem::create_symlink(images / "nowhere", images / "M5" / "2.jpg");
  auto job = MakeJob();
  job->Record[0] = "M5";
  for (const std::string url : {"https://img.test/1.jpg", "https://img.test/2.jpg"}) {
    Serve(url);
    job->CollectImageUrl(ImageLine(url));
  }
  job->SaveItemImages();
  EXPECT_TRUE(web.CallsOf("DOWNLOAD").empty());
  EXPECT_EQ(ReadBytes((images / "M5" / "1.jpg").string()), "old");
  EXPECT_FALSE(std::filesystem::exists(images / "nowhere"));
  // The link is not taken for the picture: counted, and kept as the first link.
  EXPECT_EQ(job->PicturesNotSaved(), 1);
  EXPECT_EQ(job->FirstLink().Trouble, PictureTrouble::kLink);
  EXPECT_EQ(job->FirstLink().Name, "2.jpg");
}

// A run killed while it saved an item's pictures leaves its download's file; the
// next one that saves into that folder removes it, never one a live run holds.
TEST_F(ItemImagesTest, KilledDownloadsLeftoverGoesWithTheNextVisit) {
  std::filesystem::create_directory(images / "M13");
  // Name and whether it stays: a live run's (held here), another pattern's.
  const std::vector<std::pair<std::string, bool>> files = {
      {".vormla-0123456789abcdef", false}, {".vormla-fedcba9876543210", true}, {".vormla-run-a1b2c3", true}};
  for (const auto& [name, stays] : files) testing::WriteBytes((images / "M13" / name).string(), "part of a picture");
  const int held = ::open((images / "M13" / files[1].first).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  auto job = MakeJob();
  job->Record[0] = "M13";
  Serve("https://img.test/1.jpg");
  job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
  job->SaveItemImages();
  for (const auto& [name, stays] : files) EXPECT_EQ(std::filesystem::exists(images / "M13" / name), stays) << name;
  EXPECT_TRUE(std::filesystem::is_regular_file(images / "M13" / "1.jpg"));
  ::close(held);
}

TEST_F(ItemImagesTest, FolderStandingAsAFileOrMissingParentSkipsTheItem) {
  testing::WriteBytes((images / "M6").string(), "a file");
  auto job = MakeJob();
  job->Record[0] = "M6";
  Serve("https://img.test/1.jpg");
  job->CollectImageUrl(ImageLine("https://img.test/1.jpg"));
  job->SaveItemImages();
  EXPECT_TRUE(web.CallsOf("DOWNLOAD").empty());
  EXPECT_EQ(job->PicturesNotSaved(), 1);
  EXPECT_EQ(job->FirstPictureFailure().Trouble, PictureTrouble::kFolderNotMade);
  EXPECT_EQ(job->FirstPictureFailure().Folder, (images / "M6" / "").string());
  EXPECT_EQ(job->FirstPictureFailure().Error, EEXIST);

  SearchConditions c;
  c.Pictures = {true, (images / "missing" / "").string()};
  RetrievalJob deeper(c, {}, {}, observer, web, "https://market.test");
  deeper.Record[0] = "M7";
  deeper.CollectImageUrl(ImageLine("https://img.test/1.jpg"));
  deeper.SaveItemImages();
  EXPECT_TRUE(web.CallsOf("DOWNLOAD").empty());
  EXPECT_FALSE(std::filesystem::exists(images / "missing"));
  EXPECT_EQ(deeper.PicturesNotSaved(), 1);
}

TEST_F(ItemImagesTest, QueryAndFragmentAreNoPartOfTheFileName) {
  auto job = MakeJob();
  job->Record[0] = "M11";
  const std::vector<std::string> urls = {"https://img.test/p/82DA1AA178_06.png?v=2",
                                         "https://img.test/p/82DA1AA178_06.png?v=3", "https://img.test/p/b.png#top",
                                         "https://img.test/p/c/?v=1/x"};
  for (const std::string& url : urls) {
    Serve(url);
    job->CollectImageUrl(ImageLine(url));
  }
  EXPECT_EQ(job->Record[25], urls[0]);  // the CSV keeps the address as read
  job->SaveItemImages();
  EXPECT_EQ(Tree(images), (std::set<std::string>{"M11", "M11/82DA1AA178_06.png", "M11/b.png", "M11/c"}));
  // The two that differ only in the query share one file: the first one saved stays.
  EXPECT_EQ(ReadBytes((images / "M11" / "82DA1AA178_06.png").string()), "body of " + urls[0]);
  EXPECT_EQ(web.CallsOf("DOWNLOAD").size(), 3u);
  EXPECT_EQ(job->PicturesNotSaved(), 0);
}

TEST_F(ItemImagesTest, PicturesThatFailAreCounted) {
  auto job = MakeJob();
  job->Record[0] = "M12";
  web.scripts["https://img.test/gone.jpg"] = {{404, "not found"}};
  const std::string tooLong = "https://img.test/" + std::string(256, 'n') + ".jpg";
  Serve(tooLong);
  Serve("https://img.test/ok.jpg");
  for (const std::string url :
       {"https://img.test/unanswered.jpg", "https://img.test/gone.jpg", tooLong.c_str(), "https://img.test/ok.jpg"}) {
    job->CollectImageUrl(ImageLine(url));
  }
  job->SaveItemImages();
  // A name longer than any file name can be is not even fetched.
  EXPECT_EQ(web.CallsOf("DOWNLOAD").size(), 3u);
  EXPECT_EQ(Tree(images), (std::set<std::string>{"M12", "M12/ok.jpg"}));
  EXPECT_EQ(job->PicturesNotSaved(), 3);
  // The first failure is the one kept, with the folder and the cause.
  const PictureFailure& first = job->FirstPictureFailure();
  EXPECT_EQ(first.Trouble, PictureTrouble::kNotDownloaded);
  EXPECT_EQ(first.Folder, (images / "M12" / "").string());
  EXPECT_EQ(first.Name, "unanswered.jpg");
  EXPECT_EQ(first.Fetch.failure, FetchFailure::kRefused);
}

TEST_F(ItemImagesTest, CancelStopsAfterTheCurrentDownload) {
  auto job = MakeJob();
  job->Record[0] = "M8";
  for (int i = 1; i <= 3; ++i) {
    const std::string url = "https://img.test/" + std::to_string(i) + ".jpg";
    Serve(url);
    job->CollectImageUrl(ImageLine(url));
  }
  web.onCall = [&](const testing::RecordedCall&) { job->Terminate(); };
  job->SaveItemImages();
  EXPECT_EQ(web.CallsOf("DOWNLOAD").size(), 1u);
}

}  // namespace
}  // namespace vormla

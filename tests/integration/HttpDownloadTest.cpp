// Picture downloads: a file appears only for a complete 2xx answer and never
// replaces one that is already there.
#include "HttpFetchTestKit.h"
#include "net/HttpFetch.h"
#include "support/SmallFileSystem.h"

#include <gmock/gmock.h>

#include <atomic>
#include <thread>

namespace vormla::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

class HttpDownloadTest : public HttpFetchTest {
 protected:
  std::vector<std::string> FolderContents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(HttpDownloadTest, CompleteAnswerIsStored) {
  const FetchResult result = DownloadTo(server().Url("/bytes?n=70000"), Path("a.jpg"));
  EXPECT_TRUE(result.answered);
  EXPECT_TRUE(result.saved);
  EXPECT_EQ(result.status, 200);
  EXPECT_THAT(ReadFile(Path("a.jpg")), Optional(HttpTestServer::Bytes(70000)));
  EXPECT_THAT(FolderContents(), ElementsAre("a.jpg"));
}

TEST_F(HttpDownloadTest, ErrorStatusLeavesNothing) {
  const FetchResult result = DownloadTo(server().Url("/missing"), Path("a.jpg"));
  EXPECT_TRUE(result.answered);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.status, 404);
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(HttpDownloadTest, WhatStandsAtTheNameIsKeptAndNeverFollowed) {
  WriteFile(Path("file.jpg"), "first picture");
  WriteFile(Path("outside"), "not ours");
  std::filesystem::create_symlink(Path("outside"), Path("link.jpg"));
  std::filesystem::create_symlink(Path("new"), Path("dangling.jpg"));
  // A file already there counts as the picture; a link never does.
  for (const auto& [name, saved] : {std::pair{"file.jpg", true}, {"link.jpg", false}, {"dangling.jpg", false}}) {
    const FetchResult result = DownloadTo(server().Url("/bytes?n=500"), Path(name));
    EXPECT_TRUE(result.answered) << name;
    EXPECT_EQ(result.saved, saved) << name;
  }
  EXPECT_THAT(ReadFile(Path("file.jpg")), Optional(std::string("first picture")));
  EXPECT_THAT(ReadFile(Path("outside")), Optional(std::string("not ours")));
  EXPECT_THAT(FolderContents(), ElementsAre("dangling.jpg", "file.jpg", "link.jpg", "outside"));
}

TEST_F(HttpDownloadTest, FailuresLeaveNothing) {
  const std::string closed = "https://127.0.0.1:" + std::to_string(ClosedPort());
  EXPECT_FALSE(DownloadTo(closed + "/a.jpg", Path("a.jpg")).answered);

  std::atomic<bool> cancel{false};
  std::thread canceller([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  EXPECT_FALSE(DownloadTo(server().Url("/stall"), Path("b.jpg"), &cancel).answered);
  canceller.join();

  // A 200 whose body breaks off is not a picture.
  const FetchResult broken = DownloadTo(server().Url("/truncated"), Path("d.jpg"));
  EXPECT_EQ(broken.failure, FetchFailure::kDropped);
  EXPECT_FALSE(broken.saved);

  // Redirected to http: not followed, nothing saved.
  EXPECT_FALSE(DownloadTo(server().Url("/fault/to-http"), Path("e.jpg")).saved);
  EXPECT_TRUE(FolderContents().empty());
}

TEST_F(HttpDownloadTest, NameOf255BytesIsSaved) {
  // The temporary name must fit wherever the final one does.
  const std::string name = std::string(251, 'n') + ".jpg";
  const FetchResult result = DownloadTo(server().Url("/bytes?n=100"), Path(name));
  EXPECT_TRUE(result.saved);
  EXPECT_THAT(FolderContents(), ElementsAre(name));
  EXPECT_THAT(ReadFile(Path(name)), Optional(HttpTestServer::Bytes(100)));
}

TEST_F(HttpDownloadTest, FullFolderSavesNothingAndSaysSo) {
  SmallFileSystem disk(16 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
  const FetchResult result = DownloadTo(server().Url("/bytes?n=70000"), disk / "big.jpg");
  EXPECT_TRUE(result.answered);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(result.failure, FetchFailure::kLocal);
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(disk / "big.jpg").parent_path()));
}

TEST_F(HttpDownloadTest, PictureOver64MiBIsDropped) {
  // Sent chunked, so the size is only known while it streams in.
  const std::string oversize = std::to_string((size_t{64} << 20) + 1);
  const FetchResult result = DownloadTo(server().Url("/chunked?n=" + oversize), Path("huge.jpg"));
  EXPECT_EQ(result.failure, FetchFailure::kLocal);
  EXPECT_FALSE(result.saved);
  EXPECT_TRUE(FolderContents().empty());

  // Exactly at the limit is still a picture.
  const std::string limit = std::to_string(size_t{64} << 20);
  DownloadTo(server().Url("/chunked?n=" + limit), Path("limit.jpg"));
  EXPECT_EQ(std::filesystem::file_size(Path("limit.jpg")), size_t{64} << 20);
}

}  // namespace
}  // namespace vormla::testing

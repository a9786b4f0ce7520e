// Progress on standard error: status lines for files and pipes, a bar in place on
// a terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli/CliProgress.h"
#include "text/TextOps.h"

namespace vormla::cli {
namespace {

// A memory stream that collects what the progress writes.
class Captured {
 public:
  Captured() : stream_(open_memstream(&buffer_, &size_)) {}
  ~Captured() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::FILE* Stream() const { return stream_; }
  std::string Text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  std::FILE* stream_;
};

TEST(CliProgressWidth, WideCharactersTakeTwoColumns) {
  EXPECT_EQ(DisplayWidth("abc"), 3);
  EXPECT_EQ(DisplayWidth("分類 : A"), 8);
  EXPECT_EQ(DisplayWidth("ｷｰ"), 2);  // half-width katakana
  EXPECT_EQ(DisplayWidth("ＡＢ"), 4);
  EXPECT_EQ(FitWidth("分類分類", 5), "分類");  // a wide character is never cut in half
  EXPECT_EQ(FitWidth("abc", 3), "abc");
  EXPECT_EQ(FitWidth("abcd", 3), "abc");
}

TEST(CliProgressWidth, BarCountsSearches) {
  EXPECT_EQ(ProgressBar(0, 4, 8), "[--------] 0/4 ");
  EXPECT_EQ(ProgressBar(1, 4, 8), "[##------] 1/4 ");
  EXPECT_EQ(ProgressBar(4, 4, 8), "[########] 4/4 ");
  EXPECT_EQ(ProgressBar(5, 4, 8), "[########] 4/4 ");
  EXPECT_EQ(ProgressBar(0, 0, 4), "[----] 0/0 ");
}

TEST(CliProgress, OneUtf8LinePerStatusWhenNotATerminal) {
  Captured captured;
  bool finished = false;
  TerminalProgress progress(captured.Stream(), false, [&finished] { finished = true; });
  progress.Note("ページ情報を取得中です。しばらくお待ちください。");
  progress.ShowStatusText(Utf8ToSjis("ページ内容の確認中1..."));
  progress.InitProgress(2);
  progress.StepProgress();
  progress.ShowItemProgress(Utf8ToSjis("A > B"), 3, 120);
  progress.Close(true);
  EXPECT_EQ(captured.Text(),
            "ページ情報を取得中です。しばらくお待ちください。\n"
            "ページ内容の確認中1...\n"
            "分類 : A > B - 3/120件 取得中\n");
  EXPECT_FALSE(finished);
  progress.JobFinished();
  EXPECT_TRUE(finished);
}

TEST(CliProgress, TerminalRedrawsOneLineInPlace) {
  Captured captured;
  TerminalProgress progress(captured.Stream(), true, nullptr);
  progress.InitProgress(2);
  progress.StepProgress();
  progress.ShowItemProgress(Utf8ToSjis("A"), 1, 5);
  const std::string text = captured.Text();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  // The first search is under way: none finished yet.
  EXPECT_TRUE(text.ends_with("\r\033[K[--------------------] 0/2 分類 : A - 1/5件 取得中")) << text;
  progress.Close(false);
  const std::string closed = captured.Text();
  EXPECT_TRUE(closed.ends_with("取得中\r\033[K")) << closed;  // the bar is wiped for what follows
}

// The bar counts searches finished, beside the current search's item count, and
// is full only once the last search is done.
TEST(CliProgress, BarAfterTheFirstOfTwoSearches) {
  Captured captured;
  TerminalProgress progress(captured.Stream(), true, nullptr);
  progress.InitProgress(2);
  progress.StepProgress();
  progress.ShowItemProgress(Utf8ToSjis("A > B"), 5, 5);
  progress.StepProgress();  // the second search begins: the first is done
  EXPECT_TRUE(captured.Text().ends_with("\r\033[K[##########----------] 1/2 分類 : A > B - 5/5件 取得中"))
      << captured.Text();
  progress.ShowItemProgress(Utf8ToSjis("A > C"), 1, 3);
  EXPECT_TRUE(captured.Text().ends_with("\r\033[K[##########----------] 1/2 分類 : A > C - 1/3件 取得中"))
      << captured.Text();
  progress.ShowItemProgress(Utf8ToSjis("A > C"), 3, 3);
  EXPECT_TRUE(captured.Text().ends_with("[##########----------] 1/2 分類 : A > C - 3/3件 取得中"));
  progress.Close(true);
  // The job did every search: the full bar stays on a line of its own.
  EXPECT_TRUE(captured.Text().ends_with("\r\033[K[####################] 2/2 \n")) << captured.Text();
}

TEST(CliProgress, StoppedJobLeavesNoFullBar) {
  Captured captured;
  TerminalProgress progress(captured.Stream(), true, nullptr);
  progress.InitProgress(1);
  progress.StepProgress();
  progress.ShowItemProgress(Utf8ToSjis("全カテゴリ"), 2, 9);
  progress.Close(false);
  const std::string text = captured.Text();
  EXPECT_EQ(text.find("1/1"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\r\033[K")) << text;
}

}  // namespace
}  // namespace vormla::cli

// Loading a fetched page into lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "text/TextOps.h"

namespace vormla {
namespace {

using namespace std::string_literals;

TEST(SplitPageLinesTest, EveryLineBreakForm) {
  EXPECT_EQ(SplitPageLines("a\r\nb\nc\rd"), (StringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitPageLines("a\r\r\nb"), (StringList{"a", "", "b"}));
  EXPECT_EQ(SplitPageLines("a\n\rb"), (StringList{"a", "", "b"}));
  EXPECT_EQ(SplitPageLines("a\n\nb"), (StringList{"a", "", "b"}));
}

TEST(SplitPageLinesTest, BreakAtTheEnd) {
  EXPECT_EQ(SplitPageLines("a"), StringList{"a"});
  EXPECT_EQ(SplitPageLines("a\n"), StringList{"a"});
  EXPECT_EQ(SplitPageLines("a\r\n"), StringList{"a"});
  EXPECT_EQ(SplitPageLines("a\r"), StringList{"a"});
  EXPECT_EQ(SplitPageLines("a\n\n"), (StringList{"a", ""}));
  EXPECT_EQ(SplitPageLines("\r\n"), StringList{""});
  EXPECT_EQ(SplitPageLines(""), StringList{});
}

TEST(SplitPageLinesTest, ZeroByteEndsTheText) {
  EXPECT_EQ(SplitPageLines("ab\0cd\nef"s), StringList{"ab"});
  EXPECT_EQ(SplitPageLines("ab\n\0cd"s), StringList{"ab"});
  EXPECT_EQ(SplitPageLines("\0ab"s), StringList{});
}

TEST(SplitPageLinesTest, KeepsOtherBytesAsTheyAre) {
  const std::string line = "\t <p>\xE5\x8D\xB8 \x01\x7F</p> ";
  EXPECT_EQ(SplitPageLines(line + "\n" + line), (StringList{line, line}));
}

class LoadPageLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("page-lines-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& bytes) {
    const std::string path = (folder_ / "tmp.dat").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path folder_;
};

TEST_F(LoadPageLinesTest, ReadsTheFileWithTheSameRules) {
  EXPECT_EQ(LoadPageLines(Write("<html>\r\n<body>\nx\ry")), (StringList{"<html>", "<body>", "x", "y"}));
  EXPECT_EQ(LoadPageLines(Write("one\r\n")), StringList{"one"});
  EXPECT_EQ(LoadPageLines(Write("")), StringList{});
  EXPECT_EQ(LoadPageLines(Write("a\nb\0c\nd"s)), (StringList{"a", "b"}));
}

TEST_F(LoadPageLinesTest, LargeFileArrivesWhole) {
  std::string bytes;
  const char* breaks[] = {"\r\n", "\n", "\r", "\r\n", "\r"};
  for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + breaks[i % 5];
  const StringList lines = LoadPageLines(Write(bytes));
  ASSERT_EQ(lines.size(), 20000u);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(lines[static_cast<size_t>(i)], "line " + std::to_string(i));
}

TEST_F(LoadPageLinesTest, MissingFileOrFolderGivesNoLines) {
  EXPECT_EQ(LoadPageLines((folder_ / "absent.dat").string()), StringList{});
  EXPECT_EQ(LoadPageLines(folder_.string()), StringList{});
  EXPECT_EQ(LoadPageLines(""), StringList{});
}

}  // namespace
}  // namespace vormla

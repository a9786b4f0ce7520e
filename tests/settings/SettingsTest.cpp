#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "catalogue/CategoryDatabase.h"
#include "settings/Settings.h"
#include "support/ScratchFiles.h"

namespace vormla {
namespace {

using test::ReadAll;
using test::WriteAll;

const std::string kTowel = "タオル";
const std::string kIdeographicSpace = "\u3000";

// 0 [1 2], 3, 4 [5 6 7]
std::vector<CatalogueNode> SampleNodes() {
  std::vector<CatalogueNode> nodes(8);
  const int parents[] = {-1, 0, 0, -1, -1, 4, 4, 4};
  for (int i = 0; i < 8; ++i) {
    nodes[i].Parent = parents[i];
    nodes[i].Level = parents[i] < 0 ? 0 : 1;
  }
  return nodes;
}

TEST(SaveSettings, WritesTheDocumentedFile) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  SettingsValues v;
  SearchConditions& c = v.Conditions;
  c.Keyword = kTowel;
  c.WholesalePrice = {"100", "5000"};
  c.Pictures.Folder = "/home/u/";
  c.InStockOnly = true;
  c.Sort = 2;
  c.TopCategory.Index = 2;
  std::vector<CatalogueNode> five(5);
  CategoryTree tree(five);
  tree.SetNodeChecked(1, true);
  tree.SetNodeChecked(2, true);
  ASSERT_TRUE(SaveSettings(path, v, tree));
  EXPECT_EQ(ReadAll(path), "[Config]\r\nWord=" + kTowel +
                               "\r\nPrice1=100\r\nPrice2=5000\r\nPrice3=\r\nPrice4=\r\nDir=/home/u/\r\n"
                               "Sell1=1\r\nSell2=0\r\nImgSave=0\r\nSort=2\r\nCategory=2\r\nTreeList=01100\r\n");
}

TEST(SaveSettings, TextsAreTrimmedButNotOfTheIdeographicSpace) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  SettingsValues v;
  SearchConditions& c = v.Conditions;
  c.Keyword = " \t" + kIdeographicSpace + kTowel + "\r\n ";
  c.RetailPrice.Min = " 12 ";
  c.Pictures.Folder = " /tmp/ ";
  c.Sort = -1;
  c.TopCategory.Index = -1;
  ASSERT_TRUE(WriteSettings(path, v));
  const std::string text = ReadAll(path);
  EXPECT_NE(text.find("\r\nWord=" + kIdeographicSpace + kTowel + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nPrice3=12\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nDir=/tmp/\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nSort=-1\r\nCategory=-1\r\nTreeList=\r\n"), std::string::npos);
}

TEST(SaveSettings, MissingFolderWritesNothing) {
  test::ScratchDir dir;
  const std::string path = dir / "db/vm.ini";
  EXPECT_FALSE(WriteSettings(path, SettingsValues{}));
  EXPECT_FALSE(std::filesystem::exists(dir / "db"));
}

TEST(SaveSettings, RefusedWriteNamesTheFile) {
  test::ScratchDir dir;
  WriteAll(dir / "db", "a regular file");
  const std::string under = dir / "db/vm.ini";
  try {
    WriteSettings(under, SettingsValues{});
    FAIL() << "written";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), under + " に書き込めません");
  }

  std::filesystem::create_directory(dir / "vm.ini");
  try {
    WriteSettings(dir / "vm.ini", SettingsValues{});
    FAIL() << "written";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ(e.Path(), dir / "vm.ini");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir / "vm.ini"));
}

// A settings file that is replaced whole or not at all.
class FailedSave : public ::testing::Test {
 protected:
  // Bigger than one 4 KiB page, so that it cannot fit where the old file was.
  static SettingsValues LargeValues() {
    SettingsValues v;
    v.Conditions.Keyword = "new";
    v.Conditions.Pictures.Folder = "/" + std::string(2000, 'd') + "/";
    v.TreeList = std::string(2000, '1');
    return v;
  }
  static void ExpectOldFile(const std::string& path, const std::string& bytes) {
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << "the temporary file is left behind";
  }
  const std::string old_ = "[Config]\r\nWord=old\r\n; mine\r\nTreeList=0101\r\n";
};

TEST_F(FailedSave, FolderWhereTheTemporaryFileGoes) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  WriteAll(path, old_);
  std::filesystem::create_directory(path + ".tmp");
  try {
    WriteSettings(path, LargeValues());
    FAIL() << "written";
  } catch (const ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), path + " に書き込めません");
  }
  EXPECT_EQ(ReadAll(path), old_);
  // With the way clear the next save goes through.
  std::filesystem::remove(path + ".tmp");
  ASSERT_TRUE(WriteSettings(path, LargeValues()));
  EXPECT_EQ(ReadSettings(path).Values.Conditions.Pictures.Folder, LargeValues().Conditions.Pictures.Folder);
}

TEST_F(FailedSave, FullDisk) {
  test::ScratchDir dir;
  const std::string mountPoint = dir / "small";
  std::filesystem::create_directory(mountPoint);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16k") != 0) {
    GTEST_SKIP() << "cannot mount a 16 KiB tmpfs at " << mountPoint << " (" << std::strerror(errno)
                 << "); this test needs root";
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mountPoint};

  const std::string path = mountPoint + "/vm.ini";
  WriteAll(path, old_);
  // Fill every page that is left.
  {
    const int fd = ::open((mountPoint + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::string page(4096, 'f');
    while (::write(fd, page.data(), page.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
  }
  EXPECT_THROW(WriteSettings(path, LargeValues()), ProfileWriteError);
  ExpectOldFile(path, old_);
  EXPECT_EQ(ReadSettings(path).Values.Conditions.Keyword, "old");

  // Room again: the same save now replaces the file.
  std::filesystem::remove(mountPoint + "/filler");
  ASSERT_TRUE(WriteSettings(path, LargeValues()));
  EXPECT_EQ(ReadSettings(path).Values.TreeList, LargeValues().TreeList);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(SaveSettings, EveryTextComesBackExactly) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // word, folder
      {"\"限定\"", "/home/jörg/"},
      {"'セール'", "/srv/画像〜2024/"},        // U+301C, not its full-width twin U+FF5E
      {"\"", "/srv/画像～2024/"},              // and the twin itself
      {"Ελλάδα 한글", "/srv/Ελλάδα/한글/😀/"},  // beyond code page 932
      {"a\"b\"", "/srv/\"quoted\"/"},
  };
  for (const auto& [word, folder] : cases) {
    SettingsValues v;
    v.Conditions.Keyword = word;
    v.Conditions.Pictures.Folder = folder;
    ASSERT_TRUE(WriteSettings(path, v));
    const SettingsValues back = ReadSettings(path).Values;
    EXPECT_EQ(back.Conditions.Keyword, word);
    EXPECT_EQ(back.Conditions.Pictures.Folder, folder);
  }
  // UTF-8 on disk, CR LF, no byte-order mark; a quoted value inside one more pair.
  SettingsValues v;
  v.Conditions.Keyword = "\"限定\"";
  v.Conditions.Pictures.Folder = "/home/jörg/";
  ASSERT_TRUE(WriteSettings(path, v));
  EXPECT_TRUE(ReadAll(path).starts_with("[Config]\r\nWord=\"\"限定\"\"\r\nPrice1=\r\n")) << ReadAll(path);
  EXPECT_NE(ReadAll(path).find("\r\nDir=/home/jörg/\r\n"), std::string::npos);
}

TEST(LoadSettings, AFileOfTheWindowsProgramLoads) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  // Shift-JIS: Word=タオル, Dir=C:\画像\ .
  WriteAll(path,
           "[Config]\r\nWord=\x83\x5E\x83\x49\x83\x8B\r\nPrice1=100\r\nDir=C:\\\x89\xE6\x91\x9C\\\r\n"
           "Sell1=1\r\nSort=2\r\nCategory=2\r\nTreeList=01100\r\n");
  const SettingsValues v = ReadSettings(path).Values;
  const SearchConditions& c = v.Conditions;
  EXPECT_EQ(c.Keyword, "タオル");
  EXPECT_EQ(c.WholesalePrice.Min, "100");
  EXPECT_EQ(c.Pictures.Folder, "C:\\画像\\");
  EXPECT_TRUE(c.InStockOnly);
  EXPECT_EQ(c.Sort, 2);
  EXPECT_EQ(c.TopCategory.Index, 2);
  EXPECT_EQ(v.TreeList, "01100");
}

TEST(SaveSettings, UpdateKeepsOtherSectionsAndKeys) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  WriteAll(path, "[Window]\nLeft=10\n\n[Config]\nTreeList=1\nWord=old\nMine=kept\n");
  SettingsValues v;
  v.Conditions.Keyword = "new";
  ASSERT_TRUE(WriteSettings(path, v));
  const std::string text = ReadAll(path);
  EXPECT_EQ(text.rfind("[Window]\r\nLeft=10\r\n\r\n[Config]\r\nTreeList=\r\nWord=new\r\nMine=kept\r\nPrice1=", 0), 0u)
      << text;
}

TEST(LoadSettings, NoFileSelectsNodeZeroAndCallsNothing) {
  test::ScratchDir dir;
  CategoryTree tree(SampleNodes());
  bool called = false;
  const auto r = LoadSettings(
      dir / "vm.ini", tree, [&](const SearchConditions&) { called = true; }, [&](int) { called = true; });
  EXPECT_FALSE(r.FileFound);
  EXPECT_FALSE(called);
  EXPECT_EQ(r.Tree.SelectNode, 0);
  EXPECT_EQ(r.Values.Conditions.Pictures.Folder, DefaultImageFolder());
  CategoryTree empty;
  EXPECT_EQ(LoadSettings(dir / "vm.ini", empty, nullptr, nullptr).Tree.SelectNode, -1);
}

TEST(LoadSettings, MissingKeysGiveDefaults) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  WriteAll(path, "[Config]\nSort=0x3\nCategory=x\nImgSave=2\n");
  const auto s = ReadSettings(path);
  EXPECT_TRUE(s.FileFound);
  const SearchConditions& c = s.Values.Conditions;
  EXPECT_EQ(c.Keyword, "");
  EXPECT_EQ(c.Pictures.Folder, DefaultImageFolder());
  EXPECT_EQ(c.Sort, 3);
  EXPECT_EQ(c.TopCategory.Index, 0);
  EXPECT_TRUE(c.Pictures.On);
  EXPECT_FALSE(c.InStockOnly);
}

TEST(LoadSettings, DefaultImageFolderIsHomeWithASlash) {
  const std::string dirText = DefaultImageFolder();
  ASSERT_FALSE(dirText.empty());
  EXPECT_EQ(dirText.back(), '/');
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0' && std::string(home) != "/") {
    EXPECT_EQ(dirText, std::string(home) + "/");
  }
}

TEST(LoadSettings, RoundTripRestoresEverything) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  SettingsValues v;
  SearchConditions& c = v.Conditions;
  c.Keyword = " " + kTowel + " ";
  c.WholesalePrice = {"1", "2"};
  c.RetailPrice = {"3", "999999999"};
  c.Pictures = {true, "/srv/pictures/"};
  c.InStockOnly = true;
  c.DiscountedOnly = true;
  c.Sort = 4;
  c.TopCategory.Index = 3;
  CategoryTree saved(SampleNodes());
  saved.ApplyNodeCheck(2, true);
  saved.ApplyNodeCheck(4, true);
  ASSERT_TRUE(SaveSettings(path, v, saved));

  CategoryTree tree(std::vector<CatalogueNode>(3));  // the tree of item 0
  std::vector<std::string> calls;
  SearchConditions applied;
  const auto r = LoadSettings(
      path, tree,
      [&](const SearchConditions& values) {
        calls.push_back("conditions");
        applied = values;
      },
      [&](int category) {
        calls.push_back("category " + std::to_string(category));
        tree.Reset(SampleNodes());
      });
  EXPECT_EQ(calls, (std::vector<std::string>{"conditions", "category 3"}));
  EXPECT_EQ(applied.Keyword, kTowel);
  EXPECT_EQ(applied.RetailPrice.Max, "999999999");
  EXPECT_EQ(applied.Pictures.Folder, "/srv/pictures/");
  EXPECT_TRUE(applied.InStockOnly && applied.DiscountedOnly && applied.Pictures.On);
  EXPECT_EQ(applied.Sort, 4);
  EXPECT_EQ(applied.TopCategory.Index, 3);
  EXPECT_EQ(r.Values.TreeList, "00101111");
  EXPECT_EQ(tree.TreeListText(), "00101111");
  EXPECT_EQ(r.ChangedNodes, (std::vector<int>{2, 4, 5, 6, 7}));
  EXPECT_FALSE(r.Tree.CheckSelectAll);
  EXPECT_EQ(r.Tree.ExpandNodes, std::vector<int>{0});
  EXPECT_EQ(r.Tree.SelectNode, 2);
}

TEST(LoadSettings, CategoryZeroKeepsTheStartUpTree) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  WriteAll(path, "[Config]\r\nCategory=0\r\nTreeList=111\r\n");
  CategoryTree tree(std::vector<CatalogueNode>(3));
  bool rebuilt = false;
  const auto r = LoadSettings(path, tree, nullptr, [&](int) { rebuilt = true; });
  EXPECT_FALSE(rebuilt);
  EXPECT_FALSE(r.CategoryChanged);
  EXPECT_TRUE(r.Tree.CheckSelectAll);
  EXPECT_EQ(r.Tree.SelectNode, 0);
}

TEST(LoadSettings, StoredCategoryRestoresThatTreeFromTheCatalogue) {
  test::ScratchDir dir;
  const std::string path = dir / "vm.ini";
  WriteAll(path, "[Config]\nCategory=2\nTreeList=00011\n");
  CategoryDatabase db(test::CatalogueFile("catalogue-edge.db"));
  CategoryTree tree(db.LoadCategoryTree(0));
  const auto r = LoadSettings(path, tree, nullptr, [&](int c) { tree.Reset(db.LoadCategoryTree(c)); });
  ASSERT_EQ(tree.Count(), 8);
  EXPECT_EQ(tree.Node(3).CaptionUtf8, " 子カテゴリ５");
  EXPECT_EQ(tree.SelectedCategoryList(), "3,4,");
  EXPECT_EQ(r.Tree.ExpandNodes, std::vector<int>{2});
  EXPECT_EQ(r.Tree.SelectNode, 3);
}

}  // namespace
}  // namespace vormla

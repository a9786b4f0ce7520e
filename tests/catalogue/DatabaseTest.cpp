#include <gtest/gtest.h>

#include <random>

#include "catalogue/CategoryDatabase.h"
#include "catalogue/CategoryTree.h"
#include "support/ScratchFiles.h"
#include "text/TextOps.h"

namespace vormla {
namespace {

using test::CatalogueFile;
using test::ReadTsv;

// Every top-level entry's rows, in statement order, one entry after the other.
std::vector<CategoryRow> AllRows(CategoryDatabase& db, size_t topCount) {
  std::vector<CategoryRow> all;
  for (size_t i = 0; i < topCount; ++i) {
    auto rows = db.ReadCategoryRows(static_cast<int>(i));
    all.insert(all.end(), rows.begin(), rows.end());
  }
  return all;
}

class TruthFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(TruthFiles, YieldExactlyTheRowsOfTheTruthFiles) {
  const std::string base = GetParam();
  CategoryDatabase db(CatalogueFile(base + ".db"));
  ASSERT_TRUE(db.Locate());

  const auto top = ReadTsv(CatalogueFile(base + ".top.tsv"));
  const auto names = db.LoadTopCategories();
  ASSERT_EQ(names.size(), top.size());
  for (size_t i = 0; i < top.size(); ++i) {
    ASSERT_EQ(top[i].fields.at(0), std::to_string(i)) << "truth keys run 0, 1, 2, ...";
    EXPECT_EQ(names[i].NameUtf8, top[i].fields.at(1)) << "entry " << i;
    EXPECT_EQ(names[i].Name, Utf8ToSjis(top[i].fields.at(1))) << "entry " << i;
  }

  const auto truth = ReadTsv(CatalogueFile(base + ".rows.tsv"));
  const auto rows = AllRows(db, names.size());
  ASSERT_EQ(rows.size(), truth.size());
  for (size_t r = 0; r < truth.size(); ++r) {
    const auto& t = truth[r];
    SCOPED_TRACE("row " + std::to_string(r));
    EXPECT_EQ(rows[r].Ct1Key, t.fields.at(0));
    EXPECT_EQ(rows[r].Ct2Key, t.fields.at(1));
    EXPECT_EQ(rows[r].Ct3Key, t.fields.at(2));
    EXPECT_EQ(rows[r].Name, t.fields.at(3));
    EXPECT_EQ(rows[r].Code, t.fields.at(4));
    EXPECT_EQ(rows[r].CodeIsNull, t.nulls.at(4));
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogues, TruthFiles,
                         ::testing::Values("vm_data", "catalogue-edge", "catalogue-empty", "catalogue-no-password"));

TEST(CategoryDatabase, ShippedCatalogueHasItsDocumentedShape) {
  CategoryDatabase db(CatalogueFile("vm_data.db"));
  const auto top = db.LoadTopCategories();
  ASSERT_EQ(top.size(), 17u);
  EXPECT_EQ(top[0].NameUtf8, "すべてのカテゴリ");
  EXPECT_TRUE(db.LoadCategoryTree(0).empty());
  int groups = 0;
  for (int i = 1; i < 17; ++i) {
    for (const auto& node : db.LoadCategoryTree(i)) groups += node.Level == 0 ? 1 : 0;
  }
  EXPECT_EQ(groups, 104);
}

// catalogue-edge.db, one top-level entry at a time.
class EdgeCatalogue : public ::testing::Test {
 protected:
  CategoryDatabase db{CatalogueFile("catalogue-edge.db")};
};

TEST_F(EdgeCatalogue, EntryWithoutRowsGivesAnEmptyTree) { EXPECT_TRUE(db.LoadCategoryTree(1).empty()); }

TEST_F(EdgeCatalogue, NoSelectionGivesAnEmptyTree) { EXPECT_TRUE(db.LoadCategoryTree(-1).empty()); }

TEST_F(EdgeCatalogue, SingleRowGroupIsAChildlessTopNode) {
  const auto nodes = db.LoadCategoryTree(0);
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0].CaptionUtf8, " 新着商品");
  EXPECT_EQ(nodes[1].Parent, 0);
  EXPECT_EQ(nodes[2].Parent, 0);
  EXPECT_EQ(nodes[3].CaptionUtf8, " セール");
  EXPECT_EQ(nodes[3].Level, 0);
  CategoryTree tree(nodes);
  EXPECT_FALSE(tree.HasChildren(3));

  const auto kitchen = db.LoadCategoryTree(5);
  ASSERT_EQ(kitchen.size(), 3u);
  EXPECT_EQ(kitchen[0].CaptionUtf8, " キッチン");
  EXPECT_EQ(kitchen[1].Level, 0);
  EXPECT_EQ(kitchen[2].Parent, 1);
}

TEST_F(EdgeCatalogue, TextKeysSortAsTextAndOrderKeysAsNumbers) {
  const auto rows = db.ReadCategoryRows(2);
  std::vector<std::string> keys;
  std::vector<std::string> order;
  for (const auto& r : rows) {
    keys.push_back(r.Ct2Key);
    order.push_back(r.Ct3Key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "1", "10", "10", "10", "2", "2", "2"}));
  EXPECT_EQ(order, (std::vector<std::string>{"1", "2", "1", "5", "10", "1", "2", "3"}));
}

TEST_F(EdgeCatalogue, GroupsWithTheSameNameStayTwoNodes) {
  const auto nodes = db.LoadCategoryTree(2);
  ASSERT_EQ(nodes.size(), 8u);
  // 小物 (key "1") with one child, 十番目のグループ ("10") with two, 小物 ("2") with two.
  const std::vector<int> levels = {0, 1, 0, 1, 1, 0, 1, 1};
  const std::vector<int> parents = {-1, 0, -1, 2, 2, -1, 5, 5};
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(nodes[i].Level, levels[i]) << i;
    EXPECT_EQ(nodes[i].Parent, parents[i]) << i;
  }
  EXPECT_EQ(nodes[0].Caption, std::string(" \x8F\xAC\x95\xA8"));  // " 小物" in Shift-JIS
  EXPECT_EQ(nodes[5].Caption, nodes[0].Caption);
  EXPECT_EQ(nodes[0].Code, "2110");
  EXPECT_EQ(nodes[5].Code, "2120");
  EXPECT_EQ(nodes[4].CaptionUtf8, " 子カテゴリ１０");
}

TEST_F(EdgeCatalogue, CodesAreKeptAsStoredAndNullReadsEmpty) {
  const auto nodes = db.LoadCategoryTree(4);
  ASSERT_EQ(nodes.size(), 6u);
  EXPECT_EQ(nodes[1].Code, " 1234 ");
  EXPECT_EQ(nodes[1].CaptionUtf8, " ディスプレイ 24\"以上");
  EXPECT_EQ(nodes[2].Code, "");  // empty text
  EXPECT_EQ(nodes[3].Code, "");  // NULL
  EXPECT_EQ(nodes[3].CodeUtf8, "");
  const auto rows = db.ReadCategoryRows(4);
  EXPECT_FALSE(rows[2].CodeIsNull);
  EXPECT_TRUE(rows[3].CodeIsNull);
  // The 100-character name arrives whole.
  EXPECT_EQ(nodes[5].CaptionUtf8.size(), 1u + 300u);
}

TEST_F(EdgeCatalogue, HalfWidthKanaConvertToShiftJisSingleBytes) {
  const auto top = db.LoadTopCategories();
  EXPECT_EQ(top[2].NameUtf8, "ｷｰ順序ﾃｽﾄ");
  EXPECT_EQ(top[2].Name, std::string("\xB7\xB0\x8F\x87\x8F\x98\xC3\xBD\xC4"));
}

TEST(CategoryDatabase, EmptyCatalogueLeavesNoSelection) {
  CategoryDatabase db(CatalogueFile("catalogue-empty.db"));
  EXPECT_TRUE(db.LoadTopCategories().empty());
  EXPECT_TRUE(db.ReadCategoryRows(0).empty());
  CategoryTree tree(db.LoadCategoryTree(-1));
  EXPECT_EQ(tree.ApplyTreeList("").SelectNode, -1);
}

TEST(CategoryDatabase, MissingTreeTableIsAnErrorButTheTopListStays) {
  CategoryDatabase db(CatalogueFile("catalogue-no-t03.db"));
  const auto top = db.LoadTopCategories();
  const auto truth = ReadTsv(CatalogueFile("catalogue-no-t03.top.tsv"));
  ASSERT_EQ(top.size(), truth.size());
  try {
    db.LoadCategoryTree(0);
    FAIL() << "no error";
  } catch (const CatalogueError& e) {
    EXPECT_STREQ(e.what(),
                 "The Microsoft Jet database engine cannot find the input table or query 'T03_Category2'.  "
                 "Make sure it exists and that its name is spelled correctly.");
  }
  EXPECT_EQ(db.LoadTopCategories().size(), truth.size());
}

TEST(CategoryDatabase, WrongPasswordIsRefused) {
  CategoryDatabase db(CatalogueFile("catalogue-wrong-password.db"));
  EXPECT_TRUE(db.Locate());
  try {
    db.LoadTopCategories();
    FAIL() << "opened";
  } catch (const CatalogueError& e) {
    EXPECT_STREQ(e.what(), "Not a valid password.");
  }
  EXPECT_THROW(db.LoadCategoryTree(0), CatalogueError);
}

TEST(CategoryDatabase, PasswordsReadFromTheHeader) {
  EXPECT_EQ(ReadJet4Password(CatalogueFile("vm_data.db")), "zq7302");
  EXPECT_EQ(ReadJet4Password(CatalogueFile("catalogue-edge.db")), "zq7302");
  EXPECT_EQ(ReadJet4Password(CatalogueFile("catalogue-wrong-password.db")), "abc123");
  EXPECT_EQ(ReadJet4Password(CatalogueFile("catalogue-no-password.db")), "");
}

TEST(CategoryDatabase, MissingFileIsNotFound) {
  test::ScratchDir dir;
  CategoryDatabase db(dir / "vm_data.db");
  EXPECT_FALSE(db.Locate());
  EXPECT_FALSE(db.DbFound());
  CategoryDatabase present(CatalogueFile("vm_data.db"));
  EXPECT_TRUE(present.Locate());
  EXPECT_TRUE(present.DbFound());
}

TEST(CategoryDatabase, FolderInPlaceOfTheFileCannotBeOpened) {
  test::ScratchDir dir;
  CategoryDatabase db(dir.Path());
  try {
    db.LoadTopCategories();
    FAIL() << "opened";
  } catch (const CatalogueError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot open the file '" + dir.Path() + "'"), std::string::npos) << e.what();
  }
}

TEST(CategoryDatabase, OtherFilesAreNotRecognised) {
  test::ScratchDir dir;
  const std::string text = dir / "text.db";
  test::WriteAll(text, std::string(8192, 'x'));
  CategoryDatabase a(text);
  EXPECT_THROW(a.LoadTopCategories(), CatalogueError);

  // The same catalogue claiming a newer format (ACCDB) is not a Jet 4 file.
  std::string bytes = test::ReadAll(CatalogueFile("catalogue-edge.db"));
  bytes[0x14] = 0x02;
  const std::string newer = dir / "newer.db";
  test::WriteAll(newer, bytes);
  CategoryDatabase b(newer);
  try {
    b.LoadTopCategories();
    FAIL() << "opened";
  } catch (const CatalogueError& e) {
    EXPECT_EQ(std::string(e.what()), "Unrecognized database format '" + newer + "'.");
  }
}

// Reads everything a window would read; a CatalogueError is an acceptable end.
bool ReadsCleanlyOrFails(const std::string& path) {
  CategoryDatabase db(path);
  try {
    const auto top = db.LoadTopCategories();
    for (size_t i = 0; i < top.size() && i < 64; ++i) {
      const auto nodes = db.LoadCategoryTree(static_cast<int>(i));
      // Whatever a damaged file yields must still be a well-formed two-level list.
      for (size_t n = 0; n < nodes.size(); ++n) {
        if (nodes[n].Level == 0) {
          EXPECT_EQ(nodes[n].Parent, -1);
        } else {
          EXPECT_EQ(nodes[n].Level, 1);
          EXPECT_GE(nodes[n].Parent, 0);
          EXPECT_LT(static_cast<size_t>(nodes[n].Parent), n);
        }
      }
    }
    return true;
  } catch (const CatalogueError&) {
    return false;
  }
}

TEST(CategoryDatabase, TruncatedCopiesGiveAnError) {
  test::ScratchDir dir;
  const std::string bytes = test::ReadAll(CatalogueFile("catalogue-edge.db"));
  for (size_t size :
       {size_t{0}, size_t{100}, size_t{4095}, size_t{5000}, bytes.size() / 2, bytes.size() / 2 + 1, bytes.size() - 1}) {
    const std::string cut = dir / ("cut" + std::to_string(size) + ".db");
    test::WriteAll(cut, bytes.substr(0, size));
    EXPECT_FALSE(ReadsCleanlyOrFails(cut)) << size;
  }
}

TEST(CategoryDatabase, DamagedCopiesDoNotCrash) {
  test::ScratchDir dir;
  const std::string original = test::ReadAll(CatalogueFile("catalogue-edge.db"));
  std::vector<size_t> used;  // bytes that carry something
  for (size_t i = 0; i < original.size(); ++i)
    if (original[i] != 0) used.push_back(i);
  std::mt19937 rng(20240601);
  int failures = 0;
  for (int round = 0; round < 40; ++round) {
    std::string bytes = original;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int f = 0; f < flips; ++f) {
      // Past the masked header, so that most copies get as far as the tables.
      size_t at = used[rng() % used.size()];
      if (at < 0x98) at += 0x98;
      bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8)));
    }
    const std::string path = dir / ("flip" + std::to_string(round) + ".db");
    test::WriteAll(path, bytes);
    failures += ReadsCleanlyOrFails(path) ? 0 : 1;
  }
  RecordProperty("failed_copies", failures);
  EXPECT_TRUE(ReadsCleanlyOrFails(CatalogueFile("catalogue-edge.db")));
}

}  // namespace
}  // namespace vormla

#include <gtest/gtest.h>

#include "catalogue/CategoryTree.h"

namespace vormla {
namespace {

// Builds a node list from levels: 0 starts a group, 1 is a child of the last 0.
std::vector<CatalogueNode> Nodes(const std::vector<int>& levels) {
  std::vector<CatalogueNode> nodes;
  int top = -1;
  for (size_t i = 0; i < levels.size(); ++i) {
    CatalogueNode n;
    n.Caption = " n" + std::to_string(i);
    n.Level = levels[i];
    if (levels[i] == 0)
      top = static_cast<int>(i);
    else
      n.Parent = top;
    nodes.push_back(n);
  }
  return nodes;
}

// 0 [1 2], 3 (no children), 4 [5 6 7]
CategoryTree Sample() { return CategoryTree(Nodes({0, 1, 1, 0, 0, 1, 1, 1})); }

void Mark(CategoryTree& tree, const std::string& marks) {
  for (size_t i = 0; i < marks.size(); ++i) tree.SetNodeChecked(static_cast<int>(i), marks[i] == '1');
}

TEST(CheckMarks, NewNodesAreUnchecked) {
  auto tree = Sample();
  EXPECT_EQ(tree.TreeListText(), "00000000");
  EXPECT_EQ(tree.SelectedCategoryList(), "");
}

TEST(CheckMarks, SetNodeCheckedTouchesThatNodeOnly) {
  auto tree = Sample();
  EXPECT_EQ(tree.SetNodeChecked(0, true), std::vector<int>{0});
  EXPECT_EQ(tree.TreeListText(), "10000000");
  EXPECT_TRUE(tree.SetNodeChecked(0, true).empty()) << "no change, nothing reported";
  EXPECT_TRUE(tree.SetNodeChecked(99, true).empty());
  EXPECT_TRUE(tree.SetNodeChecked(-1, true).empty());
}

TEST(CheckMarks, CheckingAParentChecksAllItsChildren) {
  auto tree = Sample();
  EXPECT_EQ(tree.ApplyNodeCheck(4, true), (std::vector<int>{4, 5, 6, 7}));
  EXPECT_EQ(tree.TreeListText(), "00001111");
  EXPECT_EQ(tree.ApplyNodeCheck(4, false), (std::vector<int>{4, 5, 6, 7}));
  EXPECT_EQ(tree.TreeListText(), "00000000");
}

TEST(CheckMarks, CheckingTheLastChildChecksTheParent) {
  auto tree = Sample();
  EXPECT_EQ(tree.ApplyNodeCheck(5, true), std::vector<int>{5});
  EXPECT_EQ(tree.ApplyNodeCheck(6, true), std::vector<int>{6});
  EXPECT_FALSE(tree.IsNodeChecked(4)) << "a sibling is still unchecked";
  EXPECT_EQ(tree.ApplyNodeCheck(7, true), (std::vector<int>{7, 4}));
  EXPECT_EQ(tree.TreeListText(), "00001111");
}

TEST(CheckMarks, UncheckingAChildUnchecksTheParentOnly) {
  auto tree = Sample();
  tree.ApplyNodeCheck(4, true);
  EXPECT_EQ(tree.ApplyNodeCheck(6, false), (std::vector<int>{6, 4}));
  EXPECT_EQ(tree.TreeListText(), "00000101");
}

TEST(CheckMarks, ParentRuleLeavesTopLevelNodesAlone) {
  auto tree = Sample();
  EXPECT_TRUE(tree.UpdateParentCheck(3, true).empty());
  EXPECT_TRUE(tree.UpdateParentCheck(0, false).empty());
  tree.SetNodeChecked(0, true);
  EXPECT_EQ(tree.UpdateParentCheck(1, false), std::vector<int>{0});
}

TEST(CheckMarks, ChildlessTopNodeChangesAloneAndIsListed) {
  auto tree = Sample();
  EXPECT_EQ(tree.ApplyNodeCheck(3, true), std::vector<int>{3});
  EXPECT_EQ(tree.SelectedCategoryList(), "3,");
}

TEST(CheckMarks, UncheckingOneChildOfAFullTree) {
  auto tree = Sample();
  tree.SetAllChecked(true);
  EXPECT_TRUE(tree.SyncSelectAllBox(true));
  tree.ApplyNodeCheck(2, false);
  EXPECT_EQ(tree.TreeListText(), "01011111");
  EXPECT_FALSE(tree.SyncSelectAllBox(true));
}

TEST(SelectAllBox, CheckedBoxFollowsEveryNode) {
  auto tree = Sample();
  Mark(tree, "01101111");  // only top node 0 unchecked
  EXPECT_FALSE(tree.SyncSelectAllBox(true));
  Mark(tree, "11111111");
  EXPECT_TRUE(tree.SyncSelectAllBox(true));
}

TEST(SelectAllBox, UncheckedBoxLooksAtChildrenOnly) {
  auto tree = Sample();
  Mark(tree, "01100111");  // childless top node 3 and parent 4 unchecked
  EXPECT_TRUE(tree.SyncSelectAllBox(false));
  Mark(tree, "01100110");
  EXPECT_FALSE(tree.SyncSelectAllBox(false));
}

TEST(SelectAllBox, TreeOfTopNodesOnlyChecksTheBox) {
  CategoryTree tree(Nodes({0, 0, 0}));
  tree.ApplyNodeCheck(1, true);
  EXPECT_TRUE(tree.SyncSelectAllBox(false));
  CategoryTree empty;
  EXPECT_TRUE(empty.SyncSelectAllBox(false));
  EXPECT_TRUE(empty.SyncSelectAllBox(true));
}

TEST(SelectAllBox, SetAllMarksEveryNodeAndReportsTheChanges) {
  auto tree = Sample();
  tree.SetNodeChecked(3, true);
  EXPECT_EQ(tree.SetAllChecked(true), (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));
  EXPECT_EQ(tree.TreeListText(), "11111111");
  EXPECT_EQ(tree.SetAllChecked(false).size(), 8u);
  EXPECT_EQ(tree.TreeListText(), "00000000");
}

TEST(SelectedCategoryList, ChildrenAndChildlessTopNodes) {
  auto tree = Sample();
  tree.SetAllChecked(true);
  EXPECT_EQ(tree.SelectedCategoryList(), "1,2,3,5,6,7,");
  Mark(tree, "00110000");  // a checked child of an unchecked parent is listed
  EXPECT_EQ(tree.SelectedCategoryList(), "2,3,");
  Mark(tree, "10000000");  // a checked parent alone is not
  EXPECT_EQ(tree.SelectedCategoryList(), "");
}

TEST(SelectedCategoryList, DecimalIndicesPastNine) {
  std::vector<int> levels(12, 1);
  levels[0] = 0;
  CategoryTree tree(Nodes(levels));
  tree.SetNodeChecked(10, true);
  tree.SetNodeChecked(11, true);
  EXPECT_EQ(tree.SelectedCategoryList(), "10,11,");
}

TEST(TreeListLoad, AllOnesChecksTheSelectAllBox) {
  auto tree = Sample();
  std::vector<int> changed;
  const auto r = tree.ApplyTreeList("111111111", &changed);
  EXPECT_TRUE(r.CheckSelectAll);
  EXPECT_TRUE(r.ExpandNodes.empty());
  EXPECT_EQ(r.SelectNode, 0);
  EXPECT_EQ(changed.size(), 8u);
  EXPECT_EQ(tree.TreeListText(), "11111111");
}

TEST(TreeListLoad, MarksDoNotSpreadAndPartlyCheckedGroupsOpen) {
  auto tree = Sample();
  // Child 2 alone (parent 0 stays unchecked), group 4 fully checked.
  const auto r = tree.ApplyTreeList("00100111x");
  EXPECT_EQ(tree.TreeListText(), "00100111") << "no spreading: 0 and 4 stay as stored";
  EXPECT_FALSE(r.CheckSelectAll);
  EXPECT_EQ(r.ExpandNodes, (std::vector<int>{0, 4}));
  EXPECT_EQ(r.SelectNode, 2);
}

TEST(TreeListLoad, FullyCheckedGroupIsNotExpanded) {
  auto tree = Sample();
  const auto r = tree.ApplyTreeList("11100000");
  EXPECT_TRUE(r.ExpandNodes.empty());
  EXPECT_EQ(r.SelectNode, 0);
  EXPECT_FALSE(r.CheckSelectAll);
}

TEST(TreeListLoad, ShortTextLeavesTheRestUnchecked) {
  auto tree = Sample();
  const auto r = tree.ApplyTreeList("0001");
  EXPECT_EQ(tree.TreeListText(), "00010000");
  EXPECT_FALSE(r.CheckSelectAll);
  EXPECT_EQ(r.SelectNode, 3);
}

TEST(TreeListLoad, NothingCheckedSelectsNodeZero) {
  auto tree = Sample();
  const auto r = tree.ApplyTreeList("00000000");
  EXPECT_FALSE(r.CheckSelectAll);
  EXPECT_EQ(r.SelectNode, 0);
}

TEST(TreeListLoad, EmptyTextChangesNoMark) {
  auto tree = Sample();
  tree.SetNodeChecked(5, true);
  std::vector<int> changed;
  const auto r = tree.ApplyTreeList("", &changed);
  EXPECT_TRUE(changed.empty());
  EXPECT_FALSE(r.CheckSelectAll);
  EXPECT_EQ(r.SelectNode, 0);
  EXPECT_EQ(tree.TreeListText(), "00000100");
}

TEST(TreeListLoad, NonEmptyTextOnAnEmptyTreeChecksTheBox) {
  CategoryTree tree;
  const auto r = tree.ApplyTreeList("0101");
  EXPECT_TRUE(r.CheckSelectAll);
  EXPECT_EQ(r.SelectNode, -1);
}

TEST(TreeModel, ResetClearsMarksAndRebuildsChildren) {
  auto tree = Sample();
  tree.SetAllChecked(true);
  tree.Reset(Nodes({0, 1, 0}));
  EXPECT_EQ(tree.TreeListText(), "000");
  EXPECT_EQ(tree.Children(0), std::vector<int>{1});
  EXPECT_FALSE(tree.HasChildren(2));
  tree.Clear();
  EXPECT_TRUE(tree.Empty());
}

}  // namespace
}  // namespace vormla

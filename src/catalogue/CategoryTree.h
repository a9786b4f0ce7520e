// The check marks of the category tree and the rules that spread them.
//
// The window's tree widget shows the nodes; this model holds the marks and
// decides every change. The window mirrors it: after each operation it sets the
// widget's check state of every node index the operation reports as changed, and
// acts on the expand / select decisions returned as data. Node indices are
// positions in the flat node list (each top-level node followed by its children).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/CategoryDatabase.h"

namespace vormla {

// What loading a stored TreeList decided (besides the marks themselves).
struct TreeLoadResult {
  // Every node was marked "1" (also true for an empty tree). The window then
  // checks its select-all box, whose click handler calls SetAllChecked(true).
  bool CheckSelectAll = false;
  // Top-level nodes to expand with their descendants, ascending.
  std::vector<int> ExpandNodes;
  // The node to select, or -1 when the tree is empty.
  int SelectNode = -1;
};

class CategoryTree {
 public:
  CategoryTree() = default;
  explicit CategoryTree(std::vector<CatalogueNode> nodes) { Reset(std::move(nodes)); }

  // Replaces the nodes (a rebuild); every node starts unchecked.
  void Reset(std::vector<CatalogueNode> nodes);
  void Clear() { Reset({}); }

  int Count() const { return static_cast<int>(nodes_.size()); }
  bool Empty() const { return nodes_.empty(); }
  const std::vector<CatalogueNode>& Nodes() const { return nodes_; }
  const CatalogueNode& Node(int index) const { return nodes_.at(static_cast<size_t>(index)); }
  // Direct children of a node in index order (empty for a child).
  const std::vector<int>& Children(int index) const { return children_.at(static_cast<size_t>(index)); }
  bool HasChildren(int index) const { return !Children(index).empty(); }

  // The node's mark.
  bool IsNodeChecked(int index) const { return checked_.at(static_cast<size_t>(index)); }

  // Each mutating operation returns the indices whose mark it changed, in the
  // order it changed them (each index at most once per call). An index out of
  // range changes nothing.

  // Sets that node only.
  std::vector<int> SetNodeChecked(int index, bool state);
  // The parent rule: a child's uncheck unchecks the parent; a child's check
  // checks the parent when every child of it is checked. A top-level node: nothing.
  std::vector<int> UpdateParentCheck(int index, bool state);
  // The node, then its parent rule, then its direct children (first to last).
  // The window calls it after the user toggled a node (box click or space key)
  // with the node's new mark, then asks SyncSelectAllBox.
  std::vector<int> ApplyNodeCheck(int index, bool state);
  // The select-all box clicked: every node set to state.
  std::vector<int> SetAllChecked(bool state);

  // SyncSelectAllBox's decision: the state the select-all box should have, given
  // its current state. A checked box stays checked only while no node is
  // unchecked; an unchecked box becomes checked when no child-level node is
  // unchecked (unchecked top-level nodes do not count, nor does a tree without
  // children).
  // The window sets the box without running its click handler.
  bool SyncSelectAllBox(bool boxChecked) const;

  // The selected categories of a search: the selected node indices ascending,
  // each followed by ","; a child is selected when checked, a top-level node
  // when checked and childless. "" when nothing is selected.
  std::string SelectedCategoryList() const;

  // TreeList of the settings file: "1" or "0" per node in index order.
  std::string TreeListText() const;

  // LoadSettings' rule for a stored TreeList. A non-empty text marks node i
  // (without spreading) when character i is "1" and leaves it unchecked
  // otherwise (also past the end of the text). If some node was not marked:
  // expand every unchecked parent of a checked child, and select the first
  // checked node (node 0 when none is). An empty text changes no mark and selects
  // node 0. Changed marks are appended to *changed when given.
  TreeLoadResult ApplyTreeList(std::string_view treeList, std::vector<int>* changed = nullptr);

 private:
  bool Set(int index, bool state, std::vector<int>& changed);
  bool Valid(int index) const { return index >= 0 && index < Count(); }

  std::vector<CatalogueNode> nodes_;
  std::vector<std::vector<int>> children_;
  std::vector<bool> checked_;
};

}  // namespace vormla

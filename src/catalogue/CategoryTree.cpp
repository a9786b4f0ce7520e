#include "catalogue/CategoryTree.h"

#include <algorithm>

namespace vormla {

void CategoryTree::Reset(std::vector<CatalogueNode> nodes) {
  nodes_ = std::move(nodes);
  children_.assign(nodes_.size(), {});
  checked_.assign(nodes_.size(), false);
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const int parent = nodes_[i].Parent;
    // Only a top-level node standing before the child can be its parent.
    if (nodes_[i].Level == 1 && parent >= 0 && static_cast<size_t>(parent) < i && nodes_[parent].Level == 0)
      children_[static_cast<size_t>(parent)].push_back(static_cast<int>(i));
  }
}

bool CategoryTree::Set(int index, bool state, std::vector<int>& changed) {
  if (!Valid(index)) return false;
  const auto i = static_cast<size_t>(index);
  if (checked_[i] == state) return false;
  checked_[i] = state;
  if (std::find(changed.begin(), changed.end(), index) == changed.end()) changed.push_back(index);
  return true;
}

std::vector<int> CategoryTree::SetNodeChecked(int index, bool state) {
  std::vector<int> changed;
  Set(index, state, changed);
  return changed;
}

std::vector<int> CategoryTree::UpdateParentCheck(int index, bool state) {
  std::vector<int> changed;
  if (!Valid(index)) return changed;
  const int parent = nodes_[static_cast<size_t>(index)].Parent;
  if (!Valid(parent) || nodes_[static_cast<size_t>(index)].Level == 0) return changed;
  if (!state) {
    Set(parent, false, changed);
    return changed;
  }
  const auto& siblings = children_[static_cast<size_t>(parent)];
  const bool all = std::all_of(siblings.begin(), siblings.end(), [this](int c) { return IsNodeChecked(c); });
  if (all) Set(parent, true, changed);
  return changed;
}

std::vector<int> CategoryTree::ApplyNodeCheck(int index, bool state) {
  std::vector<int> changed;
  if (!Valid(index)) return changed;
  Set(index, state, changed);
  for (int i : UpdateParentCheck(index, state))
    if (std::find(changed.begin(), changed.end(), i) == changed.end()) changed.push_back(i);
  for (int child : children_[static_cast<size_t>(index)]) Set(child, state, changed);
  return changed;
}

std::vector<int> CategoryTree::SetAllChecked(bool state) {
  std::vector<int> changed;
  for (int i = 0; i < Count(); ++i) Set(i, state, changed);
  return changed;
}

bool CategoryTree::SyncSelectAllBox(bool boxChecked) const {
  if (boxChecked) {
    for (int i = 0; i < Count(); ++i)
      if (!IsNodeChecked(i)) return false;
    return true;
  }
  for (int i = 0; i < Count(); ++i)
    if (nodes_[static_cast<size_t>(i)].Level == 1 && !IsNodeChecked(i)) return false;
  return true;
}

std::string CategoryTree::SelectedCategoryList() const {
  std::string list;
  for (int i = 0; i < Count(); ++i) {
    if (!IsNodeChecked(i)) continue;
    const bool child = nodes_[static_cast<size_t>(i)].Level == 1;
    if (child || !HasChildren(i)) list += std::to_string(i) + ",";
  }
  return list;
}

std::string CategoryTree::TreeListText() const {
  std::string text;
  text.reserve(nodes_.size());
  for (int i = 0; i < Count(); ++i) text += IsNodeChecked(i) ? '1' : '0';
  return text;
}

TreeLoadResult CategoryTree::ApplyTreeList(std::string_view treeList, std::vector<int>* changed) {
  TreeLoadResult result;
  std::vector<int> local;
  std::vector<int>& log = changed != nullptr ? *changed : local;
  int select = 0;
  if (!treeList.empty()) {
    bool allMarked = true;
    for (int i = 0; i < Count(); ++i) {
      if (static_cast<size_t>(i) < treeList.size() && treeList[static_cast<size_t>(i)] == '1')
        Set(i, true, log);
      else
        allMarked = false;
    }
    if (allMarked) {
      result.CheckSelectAll = true;
    } else {
      for (int i = 0; i < Count(); ++i) {
        const CatalogueNode& node = nodes_[static_cast<size_t>(i)];
        if (node.Level == 1 && IsNodeChecked(i) && Valid(node.Parent) && !IsNodeChecked(node.Parent) &&
            std::find(result.ExpandNodes.begin(), result.ExpandNodes.end(), node.Parent) == result.ExpandNodes.end())
          result.ExpandNodes.push_back(node.Parent);
      }
      std::sort(result.ExpandNodes.begin(), result.ExpandNodes.end());
      for (int i = 0; i < Count(); ++i) {
        if (IsNodeChecked(i)) {
          select = i;
          break;
        }
      }
    }
  }
  result.SelectNode = Empty() ? -1 : select;
  return result;
}

}  // namespace vormla

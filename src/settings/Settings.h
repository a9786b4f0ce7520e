// The settings file vm.ini (AppPaths.h says where): the search conditions and
// the tree's check marks, kept from one run to the next.
//
// Section "Config"; keys in the order SaveSettings writes them, each with the
// condition it keeps: Word (Keyword), Price1 and Price2 (WholesalePrice Min and
// Max), Price3 and Price4 (RetailPrice Min and Max), Dir (Pictures.Folder), Sell1
// (InStockOnly), Sell2 (DiscountedOnly), ImgSave (Pictures.On), Sort (Sort),
// Category (TopCategory.Index), TreeList (the tree's marks). Texts are UTF-8, in
// the file and here, so that every text (a path above all) comes back as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/CategoryTree.h"
#include "conditions/SearchConditions.h"
#include "settings/ProfileFile.h"

namespace vormla {

inline constexpr const char* kSettingsSection = "Config";

// What the settings file holds: the conditions but for the top category's name
// and the selected list (the catalogue and the tree give those), and the marks.
// Sort and TopCategory.Index are -1 when the window had nothing chosen.
struct SettingsValues {
  SearchConditions Conditions;
  std::string TreeList;  // "1"/"0" per node; "" for an empty tree
};

// The image folder's default text: the user's home folder + "/".
std::string DefaultImageFolder();
// The values of a window that was never changed (pictures into DefaultImageFolder()).
SettingsValues DefaultSettings();

// Writes every key, in order, with TreeList taken from tree's marks (values.TreeList
// is ignored). The keyword, the prices and the picture folder are written trimmed
// (TrimBlanks). The user's configuration folder is made first when path lies in
// it (MakeSettingsFolder); otherwise returns false and writes nothing when
// nothing exists at the settings file's folder. The file is replaced whole or not at all: ProfileWriteError (path
// of the file) when that folder cannot be made or the file cannot be replaced, and
// the old file stays as it was.
bool SaveSettings(const std::string& path, const SettingsValues& values, const CategoryTree& tree);
// The same with values.TreeList written as given (for callers without a tree).
bool WriteSettings(const std::string& path, const SettingsValues& values);

// Reads every key; a missing key gives its default (Dir: DefaultImageFolder()).
// FileFound is false when no file exists (or a folder stands there); the values
// are then the defaults. ReadError is the errno when something stands at path
// that could not be read (EISDIR for a folder, EINVAL for a device or the like),
// else 0; the values are the defaults then too.
struct StoredSettings {
  bool FileFound = false;
  SettingsValues Values;
  int ReadError = 0;
};
StoredSettings ReadSettings(const std::string& path);

// What LoadSettings did, for the window to mirror.
struct LoadedSettings {
  bool FileFound = false;
  SettingsValues Values;          // as read
  bool CategoryChanged = false;   // TopCategory.Index > 0: selectCategory was called
  TreeLoadResult Tree;            // the node to select, the parents to expand
  std::vector<int> ChangedNodes;  // marks set by the TreeList
};

// LoadSettings, in the order the window needs:
//  1. no file: nothing is called; Tree.SelectNode is 0 when the tree has nodes;
//  2. applyConditions(conditions): the window shows every condition but the top
//     category;
//  3. when TopCategory.Index > 0: selectCategory(index): the window chooses that
//     top category (none when beyond the last one) and rebuilds the tree into
//     `tree` (an empty tree when there is no choice);
//  4. the TreeList marks go on `tree` (CategoryTree::ApplyTreeList). When
//     Tree.CheckSelectAll, the window checks its select-all box (whose handler
//     marks every node); then it expands Tree.ExpandNodes and selects
//     Tree.SelectNode.
// Either callback may be empty.
LoadedSettings LoadSettings(const std::string& path, CategoryTree& tree,
                            const std::function<void(const SearchConditions&)>& applyConditions,
                            const std::function<void(int category)>& selectCategory);

}  // namespace vormla

// The settings file vm.ini (AppPaths.h says where): the search conditions, the
// image folder, the chosen top-level category and the tree's check marks, kept
// from one run to the next.
//
// Section "Config"; keys in the order SaveSettings writes them: Word, Price1..4,
// Dir, Sell1, Sell2, ImgSave, Sort, Category, TreeList. Texts are UTF-8, in the
// file and here, so that every text (a path above all) comes back as it was.
// The window copies its controls into a SettingsValues and back; the tree's marks
// go through CategoryTree.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/CategoryTree.h"
#include "settings/ProfileFile.h"

namespace vormla {

inline constexpr const char* kSettingsSection = "Config";

// The values the settings file holds, named after their controls.
struct SettingsValues {
  std::string Word;                            // txtWord
  std::string Price1, Price2, Price3, Price4;  // txtPrice1..4
  std::string Dir;                             // txtDirPath, ends in "/"
  bool Sell1 = false;                          // chkSell1
  bool Sell2 = false;                          // chkSell2
  bool ImgSave = false;                        // chkImgSave
  int Sort = 0;                                // cmbSort item index (-1: none)
  int Category = 0;                            // cmbCtgr item index (-1: none)
  std::string TreeList;                        // "1"/"0" per node; "" for an empty tree
};

// The image folder's default text: the user's home folder + "/".
std::string DefaultImageFolder();
// The values of a window that was never changed (Dir = DefaultImageFolder()).
SettingsValues DefaultSettings();

// Writes every key, in order, with TreeList taken from tree's marks (values.TreeList
// is ignored). The five texts and Dir are written trimmed (TrimBlanks). The user's
// configuration folder is made first when path lies in it (MakeSettingsFolder);
// otherwise returns false and writes nothing when nothing exists at the settings
// file's folder. The file is replaced whole or not at all: ProfileWriteError (path
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
  bool CategoryChanged = false;   // Category > 0: selectCategory was called
  TreeLoadResult Tree;            // the node to select, the parents to expand
  std::vector<int> ChangedNodes;  // marks set by the TreeList
};

// LoadSettings, in the order the window needs:
//  1. no file: nothing is called; Tree.SelectNode is 0 when the tree has nodes;
//  2. applyConditions(values): the window puts Word, Price1..4, Dir, Sell1, Sell2,
//     ImgSave (running its handler) and Sort into its controls;
//  3. when Category > 0: selectCategory(Category): the window sets cmbCtgr's item
//     index (none when beyond the last item) and rebuilds the tree into `tree`
//     (an empty tree when there is no selection);
//  4. the TreeList marks go on `tree` (CategoryTree::ApplyTreeList). When
//     Tree.CheckSelectAll, the window checks chkItem (its handler marks every
//     node); then it expands Tree.ExpandNodes and selects Tree.SelectNode.
// Either callback may be empty.
LoadedSettings LoadSettings(const std::string& path, CategoryTree& tree,
                            const std::function<void(const SettingsValues&)>& applyConditions,
                            const std::function<void(int category)>& selectCategory);

}  // namespace vormla

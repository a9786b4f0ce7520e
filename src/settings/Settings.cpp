#include "settings/Settings.h"

#include <sys/stat.h>

#include "settings/AppPaths.h"
#include "text/TextOps.h"

namespace vormla {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string DefaultImageFolder() { return HomeFolder() + "/"; }

SettingsValues DefaultSettings() {
  SettingsValues v;
  v.Dir = DefaultImageFolder();
  return v;
}

bool WriteSettings(const std::string& path, const SettingsValues& values) {
  // The installed layout's folder comes with the first save; a portable copy
  // without its db folder runs without settings.
  if (!MakeSettingsFolder(path)) throw ProfileWriteError(path);
  struct stat st {};
  if (::stat(FolderOf(path).c_str(), &st) != 0) return false;

  ProfileFile ini(path);
  const char* s = kSettingsSection;
  ini.WriteString(s, "Word", TrimBlanks(values.Word));
  ini.WriteString(s, "Price1", TrimBlanks(values.Price1));
  ini.WriteString(s, "Price2", TrimBlanks(values.Price2));
  ini.WriteString(s, "Price3", TrimBlanks(values.Price3));
  ini.WriteString(s, "Price4", TrimBlanks(values.Price4));
  ini.WriteString(s, "Dir", TrimBlanks(values.Dir));
  ini.WriteBool(s, "Sell1", values.Sell1);
  ini.WriteBool(s, "Sell2", values.Sell2);
  ini.WriteBool(s, "ImgSave", values.ImgSave);
  ini.WriteInteger(s, "Sort", values.Sort);
  ini.WriteInteger(s, "Category", values.Category);
  ini.WriteString(s, "TreeList", values.TreeList);
  ini.Save();
  return true;
}

bool SaveSettings(const std::string& path, const SettingsValues& values, const CategoryTree& tree) {
  SettingsValues v = values;
  v.TreeList = tree.TreeListText();
  return WriteSettings(path, v);
}

StoredSettings ReadSettings(const std::string& path) {
  StoredSettings out;
  out.Values = DefaultSettings();
  const ProfileFile ini(path);
  out.ReadError = ini.ReadError();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return out;
  out.FileFound = true;
  const char* s = kSettingsSection;
  SettingsValues& v = out.Values;
  v.Word = ini.ReadString(s, "Word", "");
  v.Price1 = ini.ReadString(s, "Price1", "");
  v.Price2 = ini.ReadString(s, "Price2", "");
  v.Price3 = ini.ReadString(s, "Price3", "");
  v.Price4 = ini.ReadString(s, "Price4", "");
  v.Dir = ini.ReadString(s, "Dir", DefaultImageFolder());
  v.Sell1 = ini.ReadBool(s, "Sell1", false);
  v.Sell2 = ini.ReadBool(s, "Sell2", false);
  v.ImgSave = ini.ReadBool(s, "ImgSave", false);
  v.Sort = ini.ReadInteger(s, "Sort", 0);
  v.Category = ini.ReadInteger(s, "Category", 0);
  v.TreeList = ini.ReadString(s, "TreeList", "");
  return out;
}

LoadedSettings LoadSettings(const std::string& path, CategoryTree& tree,
                            const std::function<void(const SettingsValues&)>& applyConditions,
                            const std::function<void(int category)>& selectCategory) {
  LoadedSettings result;
  StoredSettings stored = ReadSettings(path);
  result.Values = std::move(stored.Values);
  result.FileFound = stored.FileFound;
  if (!stored.FileFound) {
    result.Tree.SelectNode = tree.Empty() ? -1 : 0;
    return result;
  }
  if (applyConditions) applyConditions(result.Values);
  if (result.Values.Category > 0) {
    result.CategoryChanged = true;
    if (selectCategory) selectCategory(result.Values.Category);
  }
  result.Tree = tree.ApplyTreeList(result.Values.TreeList, &result.ChangedNodes);
  return result;
}

}  // namespace vormla

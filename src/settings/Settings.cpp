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
  v.Conditions.Pictures.Folder = DefaultImageFolder();
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
  const SearchConditions& c = values.Conditions;
  ini.WriteString(s, "Word", TrimBlanks(c.Keyword));
  ini.WriteString(s, "Price1", TrimBlanks(c.WholesalePrice.Min));
  ini.WriteString(s, "Price2", TrimBlanks(c.WholesalePrice.Max));
  ini.WriteString(s, "Price3", TrimBlanks(c.RetailPrice.Min));
  ini.WriteString(s, "Price4", TrimBlanks(c.RetailPrice.Max));
  ini.WriteString(s, "Dir", TrimBlanks(c.Pictures.Folder));
  ini.WriteBool(s, "Sell1", c.InStockOnly);
  ini.WriteBool(s, "Sell2", c.DiscountedOnly);
  ini.WriteBool(s, "ImgSave", c.Pictures.On);
  ini.WriteInteger(s, "Sort", c.Sort);
  ini.WriteInteger(s, "Category", c.TopCategory.Index);
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
  SearchConditions& c = out.Values.Conditions;
  c.Keyword = ini.ReadString(s, "Word", "");
  c.WholesalePrice.Min = ini.ReadString(s, "Price1", "");
  c.WholesalePrice.Max = ini.ReadString(s, "Price2", "");
  c.RetailPrice.Min = ini.ReadString(s, "Price3", "");
  c.RetailPrice.Max = ini.ReadString(s, "Price4", "");
  c.Pictures.Folder = ini.ReadString(s, "Dir", DefaultImageFolder());
  c.InStockOnly = ini.ReadBool(s, "Sell1", false);
  c.DiscountedOnly = ini.ReadBool(s, "Sell2", false);
  c.Pictures.On = ini.ReadBool(s, "ImgSave", false);
  c.Sort = ini.ReadInteger(s, "Sort", 0);
  c.TopCategory.Index = ini.ReadInteger(s, "Category", 0);
  out.Values.TreeList = ini.ReadString(s, "TreeList", "");
  return out;
}

LoadedSettings LoadSettings(const std::string& path, CategoryTree& tree,
                            const std::function<void(const SearchConditions&)>& applyConditions,
                            const std::function<void(int category)>& selectCategory) {
  LoadedSettings result;
  StoredSettings stored = ReadSettings(path);
  result.Values = std::move(stored.Values);
  result.FileFound = stored.FileFound;
  if (!stored.FileFound) {
    result.Tree.SelectNode = tree.Empty() ? -1 : 0;
    return result;
  }
  const SearchConditions& conditions = result.Values.Conditions;
  if (applyConditions) applyConditions(conditions);
  if (conditions.TopCategory.Index > 0) {
    result.CategoryChanged = true;
    if (selectCategory) selectCategory(conditions.TopCategory.Index);
  }
  result.Tree = tree.ApplyTreeList(result.Values.TreeList, &result.ChangedNodes);
  return result;
}

}  // namespace vormla

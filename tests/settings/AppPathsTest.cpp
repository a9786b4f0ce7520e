// Where the program's files live: the portable and installed layouts, the user's
// configuration folder made by the first save, and the runtime folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "settings/AppPaths.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"
#include "support/ScratchFiles.h"

namespace vormla {
namespace {

namespace fs = std::filesystem;
using test::Mode;
using test::ScopedEnv;
using test::ScratchDir;
using test::WriteAll;

TEST(AppPaths, ACatalogueBesideTheProgramMakesItPortable) {
  ScratchDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  fs::create_directories(dir / "app/db");
  WriteAll(dir / "app/db/vm_data.db", "x");
  const AppPaths paths = ResolveAppPaths(dir / "app/");
  EXPECT_EQ(paths.Kind, Layout::kPortable);
  EXPECT_EQ(paths.Catalogue, dir / "app/db/vm_data.db");
  EXPECT_EQ(paths.Settings, dir / "app/db/vm.ini");
}

TEST(AppPaths, OtherwiseTheCatalogueIsInTheSharedDataFolderAndTheSettingsAreTheUsers) {
  ScratchDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  // A db folder without the catalogue does not count.
  fs::create_directories(dir / "prefix/bin/db");
  const AppPaths paths = ResolveAppPaths(dir / "prefix/bin/");
  EXPECT_EQ(paths.Kind, Layout::kInstalled);
  EXPECT_EQ(paths.Catalogue,
            fs::path(dir / "prefix/bin/" VORMLA_DATA_FROM_BIN "/vm_data.db").lexically_normal().string());
  EXPECT_EQ(paths.Catalogue.find(".."), std::string::npos);
  EXPECT_EQ(paths.Settings, dir / "config/vormla-search/vm.ini");
  // Nothing is made by looking.
  EXPECT_FALSE(fs::exists(dir / "config"));
}

TEST(AppPaths, InstalledTreesCanMove) {
  ScopedEnv config("XDG_CONFIG_HOME", "/home/u/.config");
  const std::string a = ResolveAppPaths("/usr/bin/").Catalogue;
  const std::string b = ResolveAppPaths("/opt/vormla/bin/").Catalogue;
  EXPECT_EQ(a.substr(0, 5), "/usr/");
  EXPECT_EQ(b.substr(0, 12), "/opt/vormla/");
  EXPECT_EQ(a.substr(4), b.substr(11));
}

TEST(AppPaths, TheBuiltProgramsAreAPortableCopy) {
  const AppPaths paths = ProgramPaths();
  EXPECT_EQ(paths.Kind, Layout::kPortable);
  ASSERT_GE(paths.Catalogue.size(), 14u);
  EXPECT_EQ(paths.Catalogue.substr(paths.Catalogue.size() - 14), "/db/vm_data.db");
  EXPECT_EQ(paths.Settings.substr(0, paths.Settings.size() - 6),
            paths.Catalogue.substr(0, paths.Catalogue.size() - 10));
}

TEST(AppPaths, ConfigFolderFollowsXdgConfigHomeElseHome) {
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg/");
    EXPECT_EQ(UserConfigFolder(), "/cfg/vormla-search");
  }
  ScopedEnv home("HOME", "/home/user/");
  for (const std::optional<std::string>& ignored :
       {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("relative/cfg")}) {
    ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(UserConfigFolder(), "/home/user/.config/vormla-search") << ignored.value_or("(unset)");
  }
  EXPECT_EQ(DefaultImageFolder(), "/home/user/");
}

TEST(AppPaths, DataFolderFollowsXdgDataHomeElseHomeAndWatchesLiveUnderBoth) {
  ScopedEnv home("HOME", "/home/user");
  ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
  {
    ScopedEnv data("XDG_DATA_HOME", "/data/");
    EXPECT_EQ(UserDataFolder(), "/data/vormla-search");
    EXPECT_EQ(WatchFolder("towels"), "/data/vormla-search/watch/towels");
  }
  for (const std::optional<std::string>& ignored : {std::optional<std::string>(), std::optional<std::string>("rel")}) {
    ScopedEnv data("XDG_DATA_HOME", ignored);
    EXPECT_EQ(UserDataFolder(), "/home/user/.local/share/vormla-search");
  }
  EXPECT_EQ(WatchSettingsFile("towels"), "/cfg/vormla-search/watch/towels.ini");
}

TEST(AppPaths, TheFirstSaveMakesThePrivateConfigFolder) {
  ScratchDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config/deeper");
  const std::string ini = ResolveAppPaths(dir / "bin/").Settings;
  SettingsValues values;
  values.Conditions.Keyword = "x";
  ASSERT_TRUE(WriteSettings(ini, values));
  EXPECT_EQ(Mode(dir / "config/deeper/vormla-search"), 0700u);
  EXPECT_EQ(Mode(dir / "config/deeper"), 0700u);
  EXPECT_EQ(ReadSettings(ini).Values.Conditions.Keyword, "x");
  // An existing folder is used as it is.
  ASSERT_TRUE(WriteSettings(ini, values));
}

TEST(AppPaths, APortableCopyWithoutItsDbFolderStillSavesNothing) {
  ScratchDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  EXPECT_FALSE(WriteSettings(dir / "app/db/vm.ini", SettingsValues{}));
  EXPECT_FALSE(fs::exists(dir / "app"));
  EXPECT_TRUE(MakeSettingsFolder(dir / "app/db/vm.ini"));
  EXPECT_FALSE(fs::exists(dir / "app"));
}

TEST(AppPaths, AConfigFolderThatCannotBeMadeIsAWriteError) {
  ScratchDir dir;
  WriteAll(dir / "file", "not a folder");
  ScopedEnv config("XDG_CONFIG_HOME", dir / "file/config");
  const std::string ini = UserConfigFolder() + "/vm.ini";
  EXPECT_FALSE(MakeSettingsFolder(ini));
  try {
    WriteSettings(ini, SettingsValues{});
    FAIL() << "saved";
  } catch (const ProfileWriteError& error) {
    EXPECT_EQ(error.Path(), ini);
  }
}

TEST(AppPaths, RuntimeFolderIsXdgRuntimeDir) {
  ScratchDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path() + "/");
  EXPECT_EQ(RuntimeFolder(), dir.Path());
  EXPECT_EQ(InstanceLockFile(), dir / "Vormla_Search.lock");
}

TEST(AppPaths, WithoutXdgRuntimeDirAPrivateFolderUnderTmp) {
  ScratchDir dir;
  ScopedEnv temp("TMPDIR", dir.Path());
  const std::string own = dir / ("vormla-search-" + std::to_string(::getuid()));
  for (const std::optional<std::string>& unusable :
       {std::optional<std::string>(), std::optional<std::string>(dir / "missing"),
        std::optional<std::string>("relative")}) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", unusable);
    EXPECT_EQ(RuntimeFolder(), own) << unusable.value_or("(unset)");
    EXPECT_EQ(Mode(own), 0700u);
    EXPECT_EQ(InstanceLockFile(), own + "/Vormla_Search.lock");
  }
}

TEST(AppPaths, AFallbackFolderOthersCanEnterOrALinkIsNotUsed) {
  ScratchDir dir;
  ScopedEnv temp("TMPDIR", dir.Path());
  ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
  const std::string own = dir / ("vormla-search-" + std::to_string(::getuid()));
  fs::create_directory(own);
  fs::permissions(own, fs::perms(0755));
  EXPECT_EQ(RuntimeFolder(), "");
  EXPECT_EQ(InstanceLockFile(), "");
  fs::remove(own);
  fs::create_directory(dir / "elsewhere");
  fs::permissions(dir / "elsewhere", fs::perms(0700));
  fs::create_directory_symlink(dir / "elsewhere", own);
  EXPECT_EQ(RuntimeFolder(), "");
}

}  // namespace
}  // namespace vormla

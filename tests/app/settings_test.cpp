// system.ini: first start, stored folders, fall-backs written back, and the
// user's configuration folder when the program folder is not writable.
#include <filesystem>

#include "app/settings.h"

#include <gtest/gtest.h>

#include "app_test_support.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace {

using apptest::ScopedHome;

TEST(SettingsTest, FirstStartCreatesTheDefaultFolderAndTheFile) {
  ScopedHome home;
  const std::string program = testsupport::MakeTempSubdir("program");
  app::AppSettings settings(program);
  ASSERT_FALSE(settings.IniExists());
  const std::string folder = settings.ReadOutputFolder();
  EXPECT_EQ(folder, home.Path() + "/Video_Directory");
  EXPECT_TRUE(platform::IsExistingFolder(folder));
  EXPECT_EQ(settings.IniPath(), program + "/system.ini");
  EXPECT_EQ(platform::IniFile(settings.IniPath()).ReadString("OutPath", "OutPath"), folder);
  // No skin is chosen yet, and reading the skin writes nothing.
  EXPECT_EQ(settings.SkinValue(), "Error");
  EXPECT_FALSE(platform::IniFile(settings.IniPath()).SectionExists("skin"));
}

TEST(SettingsTest, StoredFolderIsCreatedAndUnusableValuesFallBack) {
  ScopedHome home;
  const std::string program = testsupport::MakeTempSubdir("program");
  app::AppSettings settings(program);
  platform::IniFile ini(settings.IniPath());

  const std::string wanted = home.Path() + "/a/b/c";
  ini.WriteString("OutPath", "OutPath", wanted);
  EXPECT_EQ(settings.ReadOutputFolder(), wanted);
  EXPECT_TRUE(platform::IsExistingFolder(wanted));

  for (const char* unusable : {"", "Error"}) {
    ini.WriteString("OutPath", "OutPath", unusable);
    EXPECT_EQ(settings.ReadOutputFolder(), home.Path() + "/Video_Directory") << unusable;
    EXPECT_EQ(ini.ReadString("OutPath", "OutPath"), home.Path() + "/Video_Directory");
  }
  // Only existing folders are stored.
  EXPECT_FALSE(settings.WriteOutputFolder(home.Path() + "/missing"));
  EXPECT_TRUE(settings.WriteOutputFolder(wanted));
  EXPECT_EQ(ini.ReadString("OutPath", "OutPath"), wanted);
}

TEST(SettingsTest, SnapshotSettingsFallBackToBmpAndTheSnapshotFolder) {
  ScopedHome home;
  app::AppSettings settings(testsupport::MakeTempSubdir("program"));
  EXPECT_EQ(settings.ReadSnapshotFormat(), "BMP");
  platform::IniFile ini(settings.IniPath());
  EXPECT_EQ(ini.ReadString("SnapShot", "Picture"), "BMP");
  ini.WriteString("SnapShot", "Picture", "PNG");
  EXPECT_EQ(settings.ReadSnapshotFormat(), "PNG");
  ini.WriteString("SnapShot", "Picture", "TIFF");
  EXPECT_EQ(settings.ReadSnapshotFormat(), "BMP");
  EXPECT_EQ(ini.ReadString("SnapShot", "Picture"), "BMP");
  const std::string snapshots = settings.ReadSnapshotFolder();
  EXPECT_EQ(snapshots, home.Path() + "/Video_Directory/快照");
  EXPECT_TRUE(platform::IsExistingFolder(snapshots));
}

TEST(SettingsTest, UnwritableProgramFolderKeepsSettingsInTheConfigurationFolder) {
  ScopedHome home;
  const std::string program = testsupport::MakeTempSubdir("installed");
  app::AppSettings settings(program, [](const std::string&) { return false; });
  EXPECT_EQ(settings.IniPath(), home.Path() + "/.config/quvexa/system.ini");
  EXPECT_EQ(settings.ReadOutputFolder(), home.Path() + "/Video_Directory");
  EXPECT_TRUE(platform::IsExistingFile(home.Path() + "/.config/quvexa/system.ini"));
  EXPECT_FALSE(platform::IsExistingFile(program + "/system.ini"));

  // XDG_CONFIG_HOME, when set, takes the place of ~/.config.
  const std::string config = testsupport::MakeTempSubdir("config");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(settings.IniPath(), config + "/quvexa/system.ini");
}

TEST(SettingsTest, InstalledProgramFolderIsNeverWrittenEvenWhenWritable) {
  // An installed layout: <prefix>/bin beside <prefix>/share/quvexa, both
  // writable by the user who runs the test (root in CI, as with /usr/bin).
  ScopedHome home;
  unsetenv("XDG_CONFIG_HOME");
  const std::string prefix = testsupport::MakeTempSubdir("prefix");
  std::filesystem::create_directories(prefix + "/bin");
  std::filesystem::create_directories(prefix + "/share/quvexa");
  app::AppSettings settings(prefix + "/bin");
  EXPECT_EQ(settings.IniPath(), home.Path() + "/.config/quvexa/system.ini");
  settings.ReadOutputFolder();
  EXPECT_FALSE(platform::IsExistingFile(prefix + "/bin/system.ini"));
}

}  // namespace

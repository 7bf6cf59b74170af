// Where the program finds what it reads and where it writes: a program
// folder (build, portable copy) against an installed copy under a prefix.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace {

// Sets (or with nullopt removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

void MakeFolder(const std::string& path) { std::filesystem::create_directories(path); }

// <prefix>/bin/ and, when installed, <prefix>/share/quvexa/ with the
// given read-only folders.
struct Prefix {
  std::string root, bin, shared;
};

Prefix MakePrefix(const std::string& name, bool installed) {
  Prefix p;
  p.root = testsupport::MakeTempSubdir(name);
  p.bin = p.root + "/bin/";
  p.shared = p.root + "/share/quvexa/";
  MakeFolder(p.bin);
  if (installed) MakeFolder(p.shared);
  return p;
}

}  // namespace

TEST(ProgramLayout, ResourceFoldersBesideTheExecutableWinOverTheSharedOnes) {
  const Prefix p = MakePrefix("layout-res", true);
  MakeFolder(p.shared + "skins");
  MakeFolder(p.shared + "sounds");
  MakeFolder(p.bin + "sounds");

  // Installed copy: read from share/quvexa/ (a normalised path, no "..").
  EXPECT_EQ(platform::ResourceFolderFor(p.bin, "skins"), p.shared + "skins/");
  EXPECT_EQ(platform::ResourceFolderFor(p.root + "/bin", "skins"), p.shared + "skins/");
  // A private folder beside the executable takes precedence.
  EXPECT_EQ(platform::ResourceFolderFor(p.bin, "sounds"), p.bin + "sounds/");
  // Found nowhere: the place beside the executable, where a user would put it.
  EXPECT_EQ(platform::ResourceFolderFor(p.bin, "LibAV"), p.bin + "LibAV/");

  // A file of that name is not a folder.
  std::ofstream(p.bin + "help") << "";
  MakeFolder(p.shared + "help");
  EXPECT_EQ(platform::ResourceFolderFor(p.bin, "help"), p.shared + "help/");
}

TEST(ProgramLayout, InstalledCopiesAreRecognisedByTheirPrefixAndSystemFolders) {
  EXPECT_TRUE(platform::IsInstalledProgramFolder(MakePrefix("layout-inst", true).bin));
  EXPECT_FALSE(platform::IsInstalledProgramFolder(MakePrefix("layout-port", false).bin));
  EXPECT_TRUE(platform::IsInstalledProgramFolder("/usr/bin/"));
  EXPECT_TRUE(platform::IsInstalledProgramFolder("/usr/bin"));
  EXPECT_TRUE(platform::IsInstalledProgramFolder("/usr/local/bin/"));
}

TEST(ProgramLayout, XdgFoldersFollowTheVariablesAndIgnoreRelativeOnes) {
  const std::string home = testsupport::MakeTempSubdir("layout-home");
  ScopedEnv h("HOME", home);
  {
    ScopedEnv c("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv k("XDG_CACHE_HOME", std::string(""));
    EXPECT_EQ(platform::UserConfigFolder(), home + "/.config/");
    EXPECT_EQ(platform::UserCacheFolder(), home + "/.cache/");
  }
  {
    ScopedEnv c("XDG_CONFIG_HOME", std::string("/srv/conf"));
    ScopedEnv k("XDG_CACHE_HOME", std::string("relative/cache"));
    EXPECT_EQ(platform::UserConfigFolder(), "/srv/conf/");
    EXPECT_EQ(platform::UserCacheFolder(), home + "/.cache/");
  }
}

TEST(ProgramLayout, WrittenFilesStayInAPortableFolderAndGoToXdgWhenInstalled) {
  const std::string xdg = testsupport::MakeTempSubdir("layout-xdg");
  ScopedEnv c("XDG_CONFIG_HOME", xdg + "/config");
  ScopedEnv k("XDG_CACHE_HOME", xdg + "/cache");

  const Prefix portable = MakePrefix("layout-w-port", false);
  EXPECT_EQ(platform::WrittenFilePathFor(portable.bin, "system.ini", platform::ufConfig),
            portable.bin + "system.ini");
  EXPECT_FALSE(platform::IsExistingFolder(xdg + "/config/quvexa"));

  // Installed under a prefix the user may write to (a home prefix, or root
  // under /usr): still the XDG folders, created for the caller.
  const Prefix installed = MakePrefix("layout-w-inst", true);
  EXPECT_EQ(platform::WrittenFilePathFor(installed.bin, "system.ini", platform::ufConfig),
            xdg + "/config/quvexa/system.ini");
  EXPECT_EQ(platform::WrittenFilePathFor(installed.bin, "update.ini", platform::ufCache),
            xdg + "/cache/quvexa/update.ini");
  struct stat st;
  ASSERT_EQ(::stat((xdg + "/config/quvexa").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(platform::IsExistingFolder(xdg + "/cache/quvexa/"));

  EXPECT_EQ(platform::WrittenFilePathFor("/usr/bin/", "system.ini", platform::ufConfig),
            xdg + "/config/quvexa/system.ini");
}

TEST(ProgramLayout, ReadOnlyProgramFolderSendsWrittenFilesToXdg) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const std::string xdg = testsupport::MakeTempSubdir("layout-ro");
  ScopedEnv c("XDG_CONFIG_HOME", xdg);
  const Prefix p = MakePrefix("layout-ro-prog", false);
  ASSERT_EQ(::chmod(p.bin.c_str(), 0555), 0);
  EXPECT_EQ(platform::WrittenFilePathFor(p.bin, "system.ini", platform::ufConfig),
            xdg + "/quvexa/system.ini");
  ::chmod(p.bin.c_str(), 0755);
}

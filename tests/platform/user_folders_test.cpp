// The user's XDG folders stand in for a program folder that cannot be
// written.
#include "platform/user_folders.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(UserFolders, XdgVariablesAbsoluteOnlyElseBelowHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv cache("XDG_CACHE_HOME", "/var/cache/me");
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(platform::UserCacheFolder(), "/var/cache/me/quvexa/");
    EXPECT_EQ(platform::UserConfigFolder(), "/home/someone/.config/quvexa/");
  }
  ScopedEnv cache("XDG_CACHE_HOME", nullptr);
  EXPECT_EQ(platform::UserCacheFolder(), "/home/someone/.cache/quvexa/");
}

TEST(UserFolders, FilesGoBesideTheProgramUnlessItsFolderCannotBeWritten) {
  const std::string program = testsupport::MakeTempSubdir("program") + "/";
  const std::string fallback = testsupport::TempPath("xdg/cache/quvexa/");
  EXPECT_EQ(platform::WritableProgramFile(program, "update.ini", fallback), program + "update.ini");
  EXPECT_FALSE(platform::IsExistingFolder(fallback));

  EXPECT_EQ(platform::WritableProgramFile(program + "missing/", "update.ini", fallback),
            fallback + "update.ini");
  EXPECT_TRUE(platform::IsExistingFolder(fallback));
  EXPECT_FALSE(platform::IsWritableFolder(program + "missing/"));
}

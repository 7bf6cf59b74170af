#include "platform/user_folders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {
namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
  const char* value = std::getenv(variable);
  const std::string base =
      (value && value[0] == '/') ? std::string(value) : HomeFolder() + "/" + fallbackBelowHome;
  return WithTrailingSlash(base) + "quvexa/";
}

}  // namespace

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string UserCacheFolder() { return XdgFolder("XDG_CACHE_HOME", ".cache"); }

bool IsWritableFolder(const std::string& folder) {
  return IsExistingFolder(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  std::string path;
  size_t from = 0;
  while (from <= folder.size()) {
    size_t slash = folder.find('/', from);
    if (slash == std::string::npos) slash = folder.size();
    path = folder.substr(0, slash);
    if (!path.empty() && ::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    from = slash + 1;
  }
  return IsExistingFolder(folder);
}

std::string WritableProgramFile(const std::string& programFolder, const std::string& name,
                                const std::string& fallbackFolder) {
  if (IsWritableFolder(programFolder)) return WithTrailingSlash(programFolder) + name;
  MakeFolders(fallbackFolder);
  return WithTrailingSlash(fallbackFolder) + name;
}

}  // namespace platform

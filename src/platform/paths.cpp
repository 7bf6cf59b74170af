#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/code_page.h"

namespace platform {

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "./";
    if (size_t(n) < buf.size()) return FolderPart(std::string(buf.data(), size_t(n)));
    buf.resize(buf.size() * 2);
  }
}

namespace {

// Where an installed copy keeps what it only reads, relative to the prefix.
constexpr const char* kSharedDataFolder = "share/quvexa/";

// The folder that holds the program folder, with its trailing "/".
std::string ParentFolder(const std::string& programFolder) {
  std::string folder = programFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string parent = FolderPart(folder);
  return parent.empty() ? std::string("/") : parent;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  std::vector<char> buf(16384);
  passwd entry;
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return "/tmp";
}

// A base folder variable of the XDG layout; relative values are invalid
// there and are ignored like an unset one.
std::string XdgFolder(const char* variable, const char* homeRelative) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return WithTrailingSlash(value);
  return WithTrailingSlash(HomeFolder()) + homeRelative;
}

// mkdir -p with mode 0700 for the folders it makes.
bool MakeFolders(const std::string& folder) {
  for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1)) {
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsExistingFolder(folder);
}

}  // namespace

std::string ResourceFolderFor(const std::string& programFolder, const std::string& name) {
  const std::string beside = WithTrailingSlash(programFolder) + name + "/";
  if (IsExistingFolder(beside)) return beside;
  const std::string shared = ParentFolder(programFolder) + kSharedDataFolder + name + "/";
  if (IsExistingFolder(shared)) return shared;
  return beside;
}

std::string ResourceFolder(const std::string& name) { return ResourceFolderFor(ExecutableFolder(), name); }

bool IsInstalledProgramFolder(const std::string& programFolder) {
  static const char* const kSystemFolders[] = {
      "/bin/", "/sbin/", "/usr/bin/", "/usr/sbin/", "/usr/local/bin/", "/usr/local/sbin/", "/usr/games/"};
  const std::string folder = WithTrailingSlash(programFolder);
  for (const char* system : kSystemFolders)
    if (folder == system) return true;
  return IsExistingFolder(ParentFolder(folder) + kSharedDataFolder);
}

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config/"); }

std::string UserCacheFolder() { return XdgFolder("XDG_CACHE_HOME", ".cache/"); }

std::string WrittenFilePathFor(const std::string& programFolder, const std::string& fileName,
                               TUserFolderKind kind) {
  const std::string folder = WithTrailingSlash(programFolder);
  if (!IsInstalledProgramFolder(folder) && ::access(folder.c_str(), W_OK) == 0) return folder + fileName;
  const std::string userFolder = (kind == ufConfig ? UserConfigFolder() : UserCacheFolder()) + "quvexa/";
  MakeFolders(userFolder);
  return userFolder + fileName;
}

std::string SettingsFilePath() { return WrittenFilePathFor(ExecutableFolder(), "system.ini", ufConfig); }

std::string UpdateFilePath() { return WrittenFilePathFor(ExecutableFolder(), "update.ini", ufCache); }

std::string WithTrailingSlash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + "/";
}

std::wstring WithTrailingSlash(const std::wstring& path) {
  if (path.empty() || path.back() == L'/') return path;
  return path + L"/";
}

std::string FolderPart(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FilePart(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::wstring FolderPart(const std::wstring& path) {
  size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FilePart(const std::wstring& path) {
  size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsExistingFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::wstring& path) { return IsExistingFile(Utf8(path)); }

TFileIdentity FileIdentity(const std::string& path) {
  TFileIdentity identity;
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return identity;
  identity.Known = true;
  identity.Regular = S_ISREG(st.st_mode);
  identity.Device = uint64_t(st.st_dev);
  identity.Inode = uint64_t(st.st_ino);
  return identity;
}

bool IsExistingFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSizeOnDisk(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return int64_t(st.st_size);
}

int64_t FileSizeOnDisk(const std::wstring& path) { return FileSizeOnDisk(Utf8(path)); }

}  // namespace platform

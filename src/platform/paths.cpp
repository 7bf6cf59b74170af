#include "platform/paths.h"

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

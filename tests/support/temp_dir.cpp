#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace testsupport {
namespace {

std::mutex& DirLock() {
  static std::mutex lock;
  return lock;
}

// Guarded by DirLock().
std::string& DirPath() {
  static std::string path;
  return path;
}
pid_t creatorPid = 0;  // guarded by DirLock()

void RemoveTempDir() {
  std::lock_guard<std::mutex> guard(DirLock());
  if (DirPath().empty() || getpid() != creatorPid) return;
  std::error_code ec;
  std::filesystem::remove_all(DirPath(), ec);
  DirPath().clear();
}

std::string MakeDir(const std::string& prefix) {
  std::string pattern = prefix + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("Cannot create a temporary folder from " + pattern);
  return std::string(buffer.data());
}

}  // namespace

std::string TempDir() {
  std::lock_guard<std::mutex> guard(DirLock());
  if (DirPath().empty()) {
    DirPath() = MakeDir("/tmp/quvexa-test-");
    creatorPid = getpid();
    static bool registered = false;
    if (!registered) {
      registered = true;
      std::atexit(&RemoveTempDir);
    }
  }
  return DirPath();
}

std::string TempPath(const std::string& name) { return TempDir() + "/" + name; }

std::string MakeTempSubdir(const std::string& prefix) { return MakeDir(TempDir() + "/" + prefix + "-"); }

}  // namespace testsupport

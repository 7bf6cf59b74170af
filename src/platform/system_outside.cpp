#include "platform/system_outside.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ini_file.h"

namespace platform {
namespace {

std::atomic<Outside*> gOutside{nullptr};

SystemOutside& BuiltIn() {
  static SystemOutside* instance = new SystemOutside();  // used until the process ends
  return *instance;
}

}  // namespace

Outside& TheOutside() {
  Outside* o = gOutside.load();
  return o ? *o : BuiltIn();
}

void SetOutside(Outside* outside) { gOutside = outside; }

std::string LockFilePath() {
  const char* env = std::getenv(kLockFileEnvironment);
  return env && *env ? env : kLockFilePath;
}

LockFileEntry ReadLockFileAt(const std::string& path) {
  IniFile ini(path);
  LockFileEntry entry;
  entry.exists = ini.SectionExists(kLockSection);
  if (entry.exists) entry.value = ini.ReadString(kLockSection, kLockKey, "");
  return entry;
}

bool StartDetachedProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // A pipe with close-on-exec reports whether exec succeeded in the grandchild.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (child == 0) {
    ::close(fds[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      int devnull = ::open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
      }
      ::execvp(args[0], args.data());
      int err = errno;
      (void)!::write(fds[1], &err, sizeof err);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(fds[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(fds[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool SystemOutside::OpenWithDefaultHandler(const std::string& pathOrUrl) {
  return StartDetachedProgram({"xdg-open", pathOrUrl});
}

bool SystemOutside::PowerOff() { return StartDetachedProgram({"systemctl", "poweroff"}); }

bool SystemOutside::DownloadToFile(const std::string& url, const std::string& file, std::string* error) {
  if (error) *error = "Downloading is not available without the network layer of the GUI";
  return false;
}

bool SystemOutside::PlaySoundFile(const std::string& file) {
  std::function<bool(const std::string&)> player;
  {
    std::lock_guard<std::mutex> guard(lock_);
    player = soundPlayer_;
  }
  return player && player(file);
}

LockFileEntry SystemOutside::ReadLockFile() { return ReadLockFileAt(LockFilePath()); }

void SystemOutside::SetSoundPlayer(std::function<bool(const std::string&)> player) {
  std::lock_guard<std::mutex> guard(lock_);
  soundPlayer_ = std::move(player);
}

bool SystemOutside::ShowNotification(const std::string&, const std::string&) { return false; }

}  // namespace platform

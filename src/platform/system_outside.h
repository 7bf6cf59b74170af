// The real outside world without a GUI toolkit: the desktop's default
// handler through xdg-open, power-off through systemctl, the lock file.
// Downloads need the GUI's network layer (qt/qt_outside.h) and fail here;
// sounds go to the player that the program registers.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/outside.h"

namespace platform {

class SystemOutside : public Outside {
 public:
  bool OpenWithDefaultHandler(const std::string& pathOrUrl) override;
  bool PowerOff() override;
  bool DownloadToFile(const std::string& url, const std::string& file, std::string* error) override;
  bool PlaySoundFile(const std::string& file) override;
  LockFileEntry ReadLockFile() override;
  // Without Qt there is no session-bus client here: nothing is shown.
  bool ShowNotification(const std::string& title, const std::string& body) override;

  // The function that plays a sound file (the media layer's SDL player);
  // without one PlaySoundFile returns false.
  void SetSoundPlayer(std::function<bool(const std::string&)> player);

 private:
  std::mutex lock_;
  std::function<bool(const std::string&)> soundPlayer_;  // guarded by lock_
};

// Starts a program with arguments, detached from ours (its exit is reaped by
// an intermediate child). Returns false when it could not be started.
bool StartDetachedProgram(const std::vector<std::string>& argv);

}  // namespace platform

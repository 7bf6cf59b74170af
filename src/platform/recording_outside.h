// A stand-in for the outside world in tests: records every request, does
// nothing real, and answers as the test sets it up.
//
//   platform::RecordingOutside fake;       // installs itself
//   ... code under test ...
//   EXPECT_EQ(fake.Calls(), std::vector<std::string>{"open /tmp/out/"});
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/outside.h"

namespace platform {

class RecordingOutside : public Outside {
 public:
  // Installs itself as TheOutside() and puts the previous one back when
  // destroyed.
  RecordingOutside();
  ~RecordingOutside() override;

  bool OpenWithDefaultHandler(const std::string& pathOrUrl) override;
  bool PowerOff() override;
  // Writes the body set with SetDownload() for the URL; other URLs fail.
  bool DownloadToFile(const std::string& url, const std::string& file, std::string* error) override;
  bool PlaySoundFile(const std::string& file) override;
  LockFileEntry ReadLockFile() override;
  bool ShowNotification(const std::string& title, const std::string& body) override;

  // Every request in order: "open <path>", "poweroff", "download <url> <file>",
  // "sound <file>", "lock",
  // "notify <title>: <body>".
  std::vector<std::string> Calls() const;
  void Clear();

  // What the requests answer (all succeed by default).
  void SetResult(bool ok);
  void SetDownload(const std::string& url, const std::string& body);
  void SetLockFile(LockFileEntry entry);

 private:
  void Record(const std::string& call);

  Outside* previous_;
  mutable std::mutex lock_;
  std::vector<std::string> calls_;                // guarded by lock_
  bool result_ = true;                            // guarded by lock_
  std::map<std::string, std::string> downloads_;  // guarded by lock_
  LockFileEntry lock_file_;                       // guarded by lock_
};

}  // namespace platform

// Everything through which the program reaches outside its own process:
// opening a folder, file or address with the desktop's default handler,
// powering the machine off, downloading over HTTP, playing a sound file,
// reading the machine-wide lock file and showing a desktop notification. Code calls TheOutside(); tests put a
// RecordingOutside (recording_outside.h) in its place, so nothing real is
// opened, shut down or downloaded.
#pragma once

#include <string>

namespace platform {

// The password lock's entry in the machine-wide lock file.
struct LockFileEntry {
  bool exists = false;  // the file has the section
  std::string value;    // the key's value, empty when missing
};

inline constexpr char kLockFilePath[] = "/etc/quvexa/lock.ini";
inline constexpr char kLockFileEnvironment[] = "QUVEXA_LOCK_FILE";
inline constexpr char kLockSection[] = "Check_PsP";
inline constexpr char kLockKey[] = "ps";

class Outside {
 public:
  virtual ~Outside() = default;

  // A local path (folder or file) or a URL; returns false when no handler
  // could be started.
  virtual bool OpenWithDefaultHandler(const std::string& pathOrUrl) = 0;
  // Asks the system to power off; false when the request could not be made.
  virtual bool PowerOff() = 0;
  // HTTP GET of url into file (replaced); blocks until done. On failure
  // returns false, leaves no partial file and fills error (English).
  virtual bool DownloadToFile(const std::string& url, const std::string& file, std::string* error) = 0;
  // Starts playing a WAV file and returns at once.
  virtual bool PlaySoundFile(const std::string& file) = 0;
  // The lock file's section and key (see LockFilePath()).
  virtual LockFileEntry ReadLockFile() = 0;
  // A desktop notification (title and body in UTF-8); false when no
  // notification service answers. Never blocks for long.
  virtual bool ShowNotification(const std::string& title, const std::string& body) = 0;
};

// The instance in use: the one set last, or a built-in system one
// (SystemOutside) when none was set. Set it before threads use it.
Outside& TheOutside();
// Installs an instance (not owned; nullptr returns to the built-in one).
void SetOutside(Outside* outside);

// QUVEXA_LOCK_FILE when set and not empty, else /etc/quvexa/lock.ini.
std::string LockFilePath();
// Reads the lock file at path with the rules above.
LockFileEntry ReadLockFileAt(const std::string& path);

}  // namespace platform

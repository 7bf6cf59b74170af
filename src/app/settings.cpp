#include "app/settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "profiles/file_names.h"
#include "profiles/output_naming.h"

namespace app {
namespace {

constexpr const char* kMissing = "Error";
constexpr const char* kIniName = "system.ini";

std::string ConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
    return profiles::JoinPath(xdg, "quvexa");
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr) home = env;
  return profiles::JoinPath(profiles::JoinPath(home, ".config"), "quvexa");
}

bool Usable(const std::string& value) { return !value.empty() && value != kMissing; }

}  // namespace

bool EnsureFolder(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  return platform::IsExistingFolder(folder);
}

AppSettings::AppSettings(std::string programFolder, WritableCheck writable)
    : programFolder_(platform::WithTrailingSlash(programFolder)), writable_(std::move(writable)) {
  // An installed copy never writes beside its executable, even when run by a
  // user who could (root and /usr/bin).
  if (!writable_)
    writable_ = [](const std::string& folder) {
      return !platform::IsInstalledProgramFolder(folder) && ::access(folder.c_str(), W_OK) == 0;
    };
}

std::string AppSettings::IniPath() const {
  const std::string beside = programFolder_ + kIniName;
  if (writable_(programFolder_)) return beside;
  return profiles::JoinPath(ConfigFolder(), kIniName);
}

bool AppSettings::IniExists() const { return platform::IsExistingFile(IniPath()); }

bool AppSettings::Write(const std::string& section, const std::string& key, const std::string& value) const {
  const std::string path = IniPath();
  EnsureFolder(profiles::ExtractFileDir(path));
  return platform::IniFile(path).WriteString(section, key, value);
}

std::string AppSettings::ReadOutputFolder() const {
  if (IniExists()) {
    const std::string stored = platform::IniFile(IniPath()).ReadString("OutPath", "OutPath", kMissing);
    if (Usable(stored) && EnsureFolder(stored)) return stored;
  }
  const std::string fallback = profiles::DefaultOutputFolder();
  EnsureFolder(fallback);
  Write("OutPath", "OutPath", fallback);
  return fallback;
}

bool AppSettings::WriteOutputFolder(const std::string& folder) const {
  if (!platform::IsExistingFolder(folder)) return false;
  return Write("OutPath", "OutPath", folder);
}

std::string AppSettings::SkinValue() const {
  return platform::IniFile(IniPath()).ReadString("skin", "SetSkin", kMissing);
}

bool AppSettings::WriteSkinValue(const std::string& value) const { return Write("skin", "SetSkin", value); }

std::string AppSettings::ReadSnapshotFormat() const {
  if (IniExists()) {
    const std::string stored = platform::IniFile(IniPath()).ReadString("SnapShot", "Picture", kMissing);
    for (const char* format : kSnapshotFormats)
      if (stored == format) return stored;
  }
  Write("SnapShot", "Picture", "BMP");
  return "BMP";
}

bool AppSettings::WriteSnapshotFormat(const std::string& format) const {
  return Write("SnapShot", "Picture", format);
}

std::string AppSettings::ReadSnapshotFolder() const {
  if (IniExists()) {
    const std::string stored = platform::IniFile(IniPath()).ReadString("SnapShot", "Dir", kMissing);
    if (Usable(stored) && EnsureFolder(stored)) return stored;
  }
  const std::string fallback = profiles::JoinPath(profiles::DefaultOutputFolder(), "快照");
  EnsureFolder(fallback);
  Write("SnapShot", "Dir", fallback);
  return fallback;
}

bool AppSettings::WriteSnapshotFolder(const std::string& folder) const {
  if (!platform::IsExistingFolder(folder)) return false;
  return Write("SnapShot", "Dir", folder);
}

}  // namespace app

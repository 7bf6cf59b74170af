// Typed access to system.ini: one function per key, its default and its
// write-back rule in one place. The file lives in the program folder; when
// that folder is not writable (an installed copy) it lives in the user's
// configuration folder instead. Every call opens the file afresh; nothing
// is cached.
#pragma once

#include <functional>
#include <string>

namespace app {

// Stored snapshot picture formats.
inline constexpr const char* kSnapshotFormats[] = {"BMP", "JPG", "GIF", "PNG"};

class AppSettings {
 public:
  using WritableCheck = std::function<bool(const std::string& folder)>;

  // programFolder: the executable's folder (a trailing "/" is optional).
  // writable tells whether the program may write there (by default: the
  // system's access check).
  explicit AppSettings(std::string programFolder, WritableCheck writable = {});

  const std::string& ProgramFolder() const { return programFolder_; }  // with trailing "/"
  // programFolder/system.ini when the folder is writable, else
  // $XDG_CONFIG_HOME/quvexa/system.ini (default ~/.config/quvexa/).
  std::string IniPath() const;
  bool IniExists() const;

  // Section "OutPath", key "OutPath": the stored folder, created with its
  // parents when missing. Missing, empty, "Error" or a folder that cannot be
  // created: ~/Video_Directory, created and written back.
  std::string ReadOutputFolder() const;
  // Writes the folder when it names an existing folder; false otherwise or
  // when the file cannot be written.
  bool WriteOutputFolder(const std::string& folder) const;

  // Section "skin", key "SetSkin" ("Error" when missing); never written back.
  std::string SkinValue() const;
  bool WriteSkinValue(const std::string& value) const;

  // Section "SnapShot", key "Picture": "BMP", "JPG", "GIF" or "PNG"; any
  // other value (or none) writes "BMP" back and returns it.
  std::string ReadSnapshotFormat() const;
  bool WriteSnapshotFormat(const std::string& format) const;
  // Section "SnapShot", key "Dir", created with its parents; missing, empty
  // or "Error": ~/Video_Directory/快照, created and written back.
  std::string ReadSnapshotFolder() const;
  bool WriteSnapshotFolder(const std::string& folder) const;

 private:
  bool Write(const std::string& section, const std::string& key, const std::string& value) const;
  std::string programFolder_;
  WritableCheck writable_;
};

// Creates a folder with its missing parents; true when it exists afterwards.
bool EnsureFolder(const std::string& folder);

}  // namespace app

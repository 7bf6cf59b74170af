// The looks a window can take and the stored values that name them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace skin {

// A window's look: one of the built-in looks, or the skin file its holder
// has loaded.
enum class TUIStyle { FromThemeFile, MacOS, WinXP, DeepBlue, Protein, BlueGlass };

struct SkinEntry {
  const char* caption;  // skin menu caption; empty for the value without an entry
  const char* value;    // stored in system.ini
  TUIStyle look;
  const char* file;  // for FromThemeFile: the file's name in the skins folder, else empty
  // Applying the stored value also brings the minimised application back.
  bool restoresApplication;
};

// Every entry: the menu's entries in menu order, then those only recognised
// when read.
const std::vector<SkinEntry>& SkinEntries();

// The entry of a stored value (exact, case-sensitive), or nullptr.
const SkinEntry* FindSkin(std::string_view value);

// Where a file skin lives: in the skins folder beside the program, or in
// ../share/quvexa/skins/ of an installed copy (platform::ResourceFolderFor).
std::string SkinFilePath(const std::string& programFolder, const SkinEntry& entry);

// "MacOS", "WinXP", … as the looks are called in code and logs.
const char* LookName(TUIStyle look);

}  // namespace skin

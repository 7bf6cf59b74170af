// The skin stored in system.ini and the windows that take it.
#pragma once

#include <string>

#include <QWidget>

#include "platform/ini_file.h"
#include "skin/skin_table.h"

namespace skin {

inline constexpr char kSkinSection[] = "skin";
inline constexpr char kSkinKey[] = "SetSkin";
// What a read gives when the file, the section or the key is missing.
inline constexpr char kSkinMissing[] = "Error";

// The stored value, or "Error".
std::string ReadSkinSetting(const platform::IniFile& systemIni);
// Stores the value (creating the file when needed); false when it cannot be
// written.
bool WriteSkinSetting(platform::IniFile& systemIni, const std::string& value);

// Draws the window with the stored skin. A value that names no skin
// ("Error" included) changes nothing and nothing is written. Returns the
// entry applied, or nullptr. Every window runs it when it is created (main
// window) or each time it is shown (dialogs).
const SkinEntry* ApplySavedSkin(QWidget* window, const platform::IniFile& systemIni,
                                const std::string& programFolder);

// The same with a value already read.
const SkinEntry* ApplySkinValue(QWidget* window, const std::string& value, const std::string& programFolder);

}  // namespace skin

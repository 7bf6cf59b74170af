#include "skin/saved_skin.h"

#include "skin/skin_apply.h"

namespace skin {

std::string ReadSkinSetting(const platform::IniFile& systemIni) {
  return systemIni.ReadString(kSkinSection, kSkinKey, kSkinMissing);
}

bool WriteSkinSetting(platform::IniFile& systemIni, const std::string& value) {
  return systemIni.WriteString(kSkinSection, kSkinKey, value);
}

const SkinEntry* ApplySavedSkin(QWidget* window, const platform::IniFile& systemIni,
                                const std::string& programFolder) {
  return ApplySkinValue(window, ReadSkinSetting(systemIni), programFolder);
}

const SkinEntry* ApplySkinValue(QWidget* window, const std::string& value, const std::string& programFolder) {
  const SkinEntry* entry = FindSkin(value);
  if (!entry || !window) return nullptr;
  ApplySkin(window, *entry, programFolder);
  if (entry->restoresApplication) RestoreApplication();
  return entry;
}

}  // namespace skin

#include "skin/skin_table.h"

#include "platform/paths.h"

namespace skin {

const std::vector<SkinEntry>& SkinEntries() {
  static const std::vector<SkinEntry> entries = {
      {"微软MSN皮肤", "skin2", TUIStyle::FromThemeFile, "msn.skin", true},
      {"冬天的色彩皮肤", "skin18", TUIStyle::FromThemeFile, "winter.skin", false},
      {"WMP10皮肤", "skin3", TUIStyle::FromThemeFile, "mp10.skin", true},
      {"WinXP标准皮肤", "skin4", TUIStyle::WinXP, "", false},
      {"Protein样式皮肤", "skin5", TUIStyle::Protein, "", false},
      {"RealOne风格皮肤", "skin6", TUIStyle::FromThemeFile, "RealOne.skin", false},
      {"深蓝色皮肤", "skin7", TUIStyle::DeepBlue, "", false},
      {"蓝色玻璃皮肤", "skin8", TUIStyle::BlueGlass, "", false},
      {"Vista风格皮肤", "skin9", TUIStyle::FromThemeFile, "Longhorn.skin", false},
      {"Mac苹果皮肤", "skin1", TUIStyle::MacOS, "", false},
      {"深绿色皮肤", "skin10", TUIStyle::FromThemeFile, "DeepGreen.skin", false},
      {"桔红色皮肤", "skin11", TUIStyle::FromThemeFile, "DeepOrange.skin", false},
      {"绿色玻璃皮肤", "skin12", TUIStyle::FromThemeFile, "GreenGlass.skin", false},
      {"时尚蓝色blue皮肤", "skin13", TUIStyle::FromThemeFile, "OneBlue.skin", false},
      {"时尚的Cyan皮肤", "skin14", TUIStyle::FromThemeFile, "OneCyan.skin", false},
      {"运动黑色皮肤", "skin15", TUIStyle::FromThemeFile, "SportsBlack.skin", false},
      {"XP绿色皮肤", "skin16", TUIStyle::FromThemeFile, "xpgreen.skin", false},
      {"", "skin17", TUIStyle::FromThemeFile, "royale.skin", false},
  };
  return entries;
}

const SkinEntry* FindSkin(std::string_view value) {
  for (const SkinEntry& entry : SkinEntries())
    if (value == entry.value) return &entry;
  return nullptr;
}

std::string SkinFilePath(const std::string& programFolder, const SkinEntry& entry) {
  return platform::ResourceFolderFor(programFolder, "skins") + entry.file;
}

const char* LookName(TUIStyle look) {
  switch (look) {
    case TUIStyle::FromThemeFile:
      return "FromThemeFile";
    case TUIStyle::MacOS:
      return "MacOS";
    case TUIStyle::WinXP:
      return "WinXP";
    case TUIStyle::DeepBlue:
      return "DeepBlue";
    case TUIStyle::Protein:
      return "Protein";
    case TUIStyle::BlueGlass:
      return "BlueGlass";
  }
  return "?";
}

}  // namespace skin

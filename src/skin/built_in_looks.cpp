#include "skin/built_in_looks.h"

#include <map>

namespace skin {
namespace {

// clang-format off
// Fields: title; window, windowText; panel, panelText; base, baseText;
// button, buttonText; accent, accentText; border; radius; finish.

// Silver windows, white lists and glossy sky-blue highlights; round corners.
constexpr LookRecipe kMacOS = {"silver with glossy blue",
    "#e8e8eb", "#1d1d1f", "#d5d6da", "#1d1d1f", "#ffffff", "#1d1d1f",
    "#f8f8f9", "#1d1d1f", "#2a6fe0", "#ffffff", "#a7a9af", 7, Finish::Glass};

// Sand-coloured windows under a royal-blue bar; small corners.
constexpr LookRecipe kWinXP = {"sand under a royal-blue bar",
    "#ece9d8", "#000000", "#2d5fc4", "#ffffff", "#ffffff", "#000000",
    "#f6f5ef", "#000000", "#316ac5", "#ffffff", "#7f9db9", 3, Finish::Soft};

// Night-blue windows with light text and a bright blue accent.
constexpr LookRecipe kDeepBlue = {"night blue",
    "#14213d", "#e6ecf5", "#0c1630", "#dbe6f5", "#1b2b4d", "#e9eff8",
    "#263b6b", "#f0f4fa", "#2f6fd6", "#ffffff", "#36517f", 4, Finish::Soft};

// Soft lilac with violet highlights and generous corners.
constexpr LookRecipe kProtein = {"lilac with violet",
    "#efeaf4", "#2b2233", "#d8cbe6", "#2b2233", "#fcfaff", "#2b2233",
    "#f6f1fb", "#2b2233", "#7e45b5", "#ffffff", "#b3a2c6", 9, Finish::Soft};

// Pale sky windows with glassy blue bars and buttons.
constexpr LookRecipe kBlueGlass = {"blue glass",
    "#dcebf7", "#10263d", "#78aedd", "#0b2036", "#f6fbff", "#10263d",
    "#b7d7f2", "#0b2036", "#2478c2", "#ffffff", "#6d9cc6", 5, Finish::Glass};
// clang-format on

}  // namespace

const LookRecipe* BuiltInRecipe(TUIStyle look) {
  switch (look) {
    case TUIStyle::MacOS:
      return &kMacOS;
    case TUIStyle::WinXP:
      return &kWinXP;
    case TUIStyle::DeepBlue:
      return &kDeepBlue;
    case TUIStyle::Protein:
      return &kProtein;
    case TUIStyle::BlueGlass:
      return &kBlueGlass;
    case TUIStyle::FromThemeFile:
      break;
  }
  return nullptr;
}

const SkinSheet& BuiltInLook(TUIStyle look) {
  static std::map<TUIStyle, SkinSheet> composed;
  auto it = composed.find(look);
  if (it == composed.end()) {
    const LookRecipe* recipe = BuiltInRecipe(look);
    it = composed.emplace(look, recipe ? ParseSkinSheet(ComposeStyleSheet(*recipe)) : SkinSheet()).first;
  }
  return it->second;
}

}  // namespace skin

// The five looks compiled into the program.
#pragma once

#include "skin/look_recipe.h"
#include "skin/skin_sheet.h"
#include "skin/skin_table.h"

namespace skin {

// The recipe of a built-in look; nullptr for FromThemeFile.
const LookRecipe* BuiltInRecipe(TUIStyle look);

// The composed sheet of a built-in look (composed once, then kept); an empty
// sheet for FromThemeFile. Main thread only.
const SkinSheet& BuiltInLook(TUIStyle look);

}  // namespace skin

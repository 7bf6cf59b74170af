// The skin menu of the main window: one checkable entry per skin in menu
// order, the stored skin checked.
//
//   skin::BuildSkinMenu(menu, skin::ReadSkinSetting(ini), [&](const std::string& value) {
//     skin::ChooseSkin(this, value, ini, programFolder);
//   });
#pragma once

#include <functional>
#include <string>

#include <QActionGroup>
#include <QMenu>

#include "platform/ini_file.h"

namespace skin {

// Appends the entries to the menu as one exclusive group; each action's
// data() is its stored value. onChosen gets the value of the entry the user
// picks. Returns the group (owned by the menu).
QActionGroup* BuildSkinMenu(QMenu* menu, const std::string& currentValue,
                            std::function<void(const std::string& value)> onChosen);

// Checks the entry of the value in a menu built above (none for a value
// without an entry).
void CheckSkinEntry(QActionGroup* group, const std::string& value);

// What picking an entry does: the main window takes the skin at once (a
// file skin also brings the minimised application back) and the value is
// stored. The dialogs take it the next time they are shown. False when the
// value names no skin or the choice could not be stored.
bool ChooseSkin(QWidget* mainWindow, const std::string& value, platform::IniFile& systemIni,
                const std::string& programFolder);

}  // namespace skin

// Drawing a window with a look. A look set on a top-level window reaches
// all its children, and the menus, pop-up lists and message boxes it
// parents; each window keeps its own look until it is given another.
#pragma once

#include <string>

#include <QWidget>

#include "skin/skin_sheet.h"
#include "skin/skin_table.h"

namespace skin {

// Makes Fusion the style that every look draws on, so that looks come out
// the same whatever desktop the program runs on. Call once after the
// QApplication exists, before windows are created.
void UseSkinBaseStyle();

// Draws the window with the sheet (and its palette, or the application's
// when the sheet has none).
void ApplySkinSheet(QWidget* window, const SkinSheet& sheet);

// Back to the look the window was designed with.
void ClearSkin(QWidget* window);

// A built-in look; false (nothing changed) for FromThemeFile.
bool ApplyBuiltInLook(QWidget* window, TUIStyle look);

// Loads the skin file and draws the window with it. A file that cannot be
// loaded is logged and leaves the window as it was, so it stays usable.
bool ApplySkinFile(QWidget* window, const std::string& path);

// The look of a table entry: its built-in look, or its file below the
// program folder (SkinFilePath).
bool ApplySkin(QWidget* window, const SkinEntry& entry, const std::string& programFolder);

// Brings every minimised top-level window of the application back.
void RestoreApplication();

}  // namespace skin

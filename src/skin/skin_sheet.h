// A skin as the engine draws it: a Qt style sheet and, optionally, the
// palette that goes with it. Skin files are style sheets whose first comment
// may carry the palette as "palette:" followed by role=#rrggbb words, e.g.
//
//   /* palette: window=#eef4f8 windowText=#1d2b36 highlight=#4a90c2 */
//
// Roles are QPalette's colour roles with a small first letter (window,
// windowText, base, alternateBase, text, button, buttonText, highlight,
// highlightedText, toolTipBase, toolTipText, placeholderText, brightText,
// light, midlight, mid, dark, shadow, link, linkVisited). Roles left out
// keep the application's colours.
#pragma once

#include <string>

#include <QPalette>
#include <QString>

namespace skin {

struct SkinSheet {
  QString styleSheet;
  QPalette palette;         // the application's palette with the skin's roles set
  bool hasPalette = false;  // the sheet named at least one role
};

// Skin files larger than this are refused: a style sheet is a few kilobytes.
inline constexpr qint64 kMaxSkinFileBytes = 1024 * 1024;

// The sheet with the palette of its first comment.
SkinSheet ParseSkinSheet(const QString& text);

// Reads a skin file (UTF-8). False, with an English error, when the file is
// missing, unreadable, too large or empty.
bool LoadSkinFile(const std::string& path, SkinSheet* sheet, std::string* error);

}  // namespace skin

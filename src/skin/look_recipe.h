// A look described by a handful of colours and a finish, and the style sheet
// composed from it. The built-in looks are recipes compiled in; skin files
// are finished style sheets (they may have been composed the same way).
#pragma once

#include <QString>

namespace skin {

enum class Finish {
  Flat,   // plain colours
  Soft,   // gentle vertical gradients
  Glass,  // a bright upper half over a deeper lower half
};

struct LookRecipe {
  const char* title;       // one line for the sheet's header comment
  const char* window;      // window background
  const char* windowText;  // text on windows
  const char* panel;       // tool bar, status bar, list headers, tab bar
  const char* panelText;
  const char* base;  // lists, edit boxes, menus
  const char* baseText;
  const char* button;  // push buttons, combo boxes
  const char* buttonText;
  const char* accent;  // selection, progress, focus
  const char* accentText;
  const char* border;
  int radius;  // corner radius of buttons and tabs, pixels
  Finish finish;
};

// The complete style sheet of the recipe. It begins with a comment that
// carries the palette (see skin_sheet.h), so a file written from it is a
// skin file.
QString ComposeStyleSheet(const LookRecipe& recipe);

}  // namespace skin

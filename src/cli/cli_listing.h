// The catalogue and the choice lists as text for people and scripts.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

// One line per output type, tab-separated: code, caption, file extension,
// and "yes" when the program's type chooser can select it, else "no".
std::string ListTypesText();

// The ten choice lists of a type, each under its option name and the
// dialog's label, one caption per line with the default marked "*"; then
// the lists a video codec choice puts in place of a default list. Empty
// for a code that names no type.
std::string ListOptionsText(int32_t code);

}  // namespace cli

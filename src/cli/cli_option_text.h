// The --options text checked before a run: values that cannot work are
// refused with a message that names the option; names that nothing knows
// and lines that the output type's own settings replace are warned about
// (the engine itself ignores both without a word).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/option_records.h"

namespace cli {

// Numbers that are no numbers, and values that would make a run absurd
// (a frame rate of 99999999, a picture wider than any encoder takes, ...).
// "" when the text is acceptable, else the message. Needs no libraries.
std::string RefusedOptionValue(const std::string& optionText);

// One line per warning: names that neither the engine nor the libraries
// know, and lines of the output record's own ExtraOptions that its fields
// replace (typeName: "type 500 (...)", or "" for a run without a type).
// Requires the converter libraries.
std::vector<std::string> OptionTextWarnings(const TOutputOptions& record, const std::string& typeName);

}  // namespace cli

// The names of an option text as the engine reads them: which names it acts
// on at all, and which lines of an output's text the output record's own
// fields replace (the record is applied after its text). For callers that
// check an option text before they hand it over, such as the command line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/option_records.h"

namespace engine {

// The lines of an option text as ParseOptionText reads them: trimmed, CR LF
// / CR / "<CRLF>" as line ends, each line split at its first "=", names
// lower-cased.
std::vector<std::pair<std::string, std::string>> OptionTextLines(const std::string& text);

// True when ParseOption acts on the name: one of its own options, an option
// of the libraries' codec, format or scaler tables (also with an "a", "v" or
// "s" in front), or a private option of some encoder or muxer. Any other
// name has no effect. Requires the converter libraries.
bool IsKnownOptionName(const std::string& name);

// What in the record replaces a line `name` of its own ExtraOptions ("the
// start time", ...), or "" when the line takes effect.
std::string RecordFieldReplacing(const TOutputOptions& record, const std::string& name);

}  // namespace engine

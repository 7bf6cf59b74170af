// Pieces of the probe's readable description that need no library.
#pragma once

#include <cstdint>
#include <string>

namespace probetext {

// ", 25 tbr", ", 29.97 fps", ", 90k tbn": two decimals when the value is not
// whole, no decimals below 1000 or when not a whole thousand, else thousands
// with a "k".
std::string RateText(double value, const char* unit);

// ID3v2 frame names to plain keys ("TIT2" → "title"); other keys unchanged.
const char* TranslateMetadataKey(const char* key);

// "%d.%06d": whole seconds and the microsecond remainder; a negative time
// keeps its sign in front ("-0.500000").
std::string SecondsText(int64_t microseconds);

// Leading decimal number of a text ("2009-10-01" → 2009, "3/12" → 3), 0 when none.
int32_t LeadingNumber(const char* text);

}  // namespace probetext

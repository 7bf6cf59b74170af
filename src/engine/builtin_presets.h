// The built-in encoder presets of the options apre/vpre/spre: 36 entries
// for the H.264 encoder (libx264), each a name and an option text of
// name=value lines separated by line feeds.
#pragma once

#include <string>
#include <vector>

namespace engine {

struct TBuiltinPreset {
  std::string Name;
  std::string Text;
};

// All entries, in name order. Built once; safe to call from any thread.
const std::vector<TBuiltinPreset>& BuiltinPresets();

// The entry of that name, compared without regard to case; nullptr when
// there is none.
const TBuiltinPreset* FindBuiltinPreset(const std::string& name);

}  // namespace engine

// Where the program writes when its own folder is closed to it (a copy
// installed under /usr): the user's XDG folders, each with a "quvexa"
// sub-folder.
#pragma once

#include <string>

namespace platform {

// $XDG_CONFIG_HOME/quvexa/ (default ~/.config/quvexa/) and
// $XDG_CACHE_HOME/quvexa/ (default ~/.cache/quvexa/), with the trailing "/".
// A relative XDG value is ignored, as the XDG rules say. Not created here.
std::string UserConfigFolder();
std::string UserCacheFolder();

// True when the folder exists and files can be created in it.
bool IsWritableFolder(const std::string& folder);

// Creates the folder and every missing parent; true when it exists after.
bool MakeFolders(const std::string& folder);

// programFolder + name when the program folder is writable, else
// fallbackFolder + name, creating fallbackFolder when it is missing.
std::string WritableProgramFile(const std::string& programFolder, const std::string& name,
                                const std::string& fallbackFolder);

}  // namespace platform

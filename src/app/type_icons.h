// The 60 × 60 pictures of the format chooser, drawn at run time: a tile in
// the colour of the output family with the family's sign (film, disc,
// phone, note …) and the file extension.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "profiles/output_catalogue.h"

namespace app {

inline constexpr int kTypeIconSize = 60;

enum class OutputFamily { Video, Hd, Device, Disc, Web, Audio };

OutputFamily FamilyOf(const profiles::TOutputType& type);
QPixmap TypeIcon(const profiles::TOutputType& type);

// Pictures of the main window's toolbar and of the preview buttons.
enum class ToolPicture { Add, Remove, Clear, Start, Pause, Stop, Skin, Help, Play, Mute, Snapshot, Settings };
QIcon ToolIcon(ToolPicture picture, int size = 32);

}  // namespace app

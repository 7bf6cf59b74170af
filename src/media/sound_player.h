// Short sounds (the snapshot click) played asynchronously through SDL. The
// program hands PlaySoundFileAsync to the outside-world interface
// (platform::SystemOutside::SetSoundPlayer). Needs SDL to be loaded (the
// player set); main thread only.
#pragma once

#include <string>

// Starts playing a WAV file and returns at once; a sound still playing is
// cut off. False when SDL is not loaded, the file is not a WAV file or no
// audio device opens.
bool PlaySoundFileAsync(const std::string& path);

// Stops any sound and closes the device.
void StopSounds();

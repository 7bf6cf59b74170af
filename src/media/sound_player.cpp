#include "media/sound_player.h"

#include <cstring>
#include <mutex>

#include "media/ffmpeg_loader.h"
#include "media/library_tables.h"

namespace {

struct SoundDevice {
  std::mutex lock;
  SDL_AudioDeviceID id = 0;  // guarded by lock
  SDL_AudioSpec spec{};      // guarded by lock; what the device was opened with
  bool audioInit = false;    // guarded by lock; we started SDL's audio part
};

SoundDevice& Device() {
  static SoundDevice* d = new SoundDevice();
  return *d;
}

void CloseLocked(SoundDevice& d) {
  if (d.id) lib::SDL_CloseAudioDevice(d.id);
  d.id = 0;
}

}  // namespace

bool PlaySoundFileAsync(const std::string& path) {
  if (!FFLoader().LibraryLoaded(lkSDL)) return false;
  SoundDevice& d = Device();
  std::lock_guard<std::mutex> guard(d.lock);
  if (!d.audioInit) {
    if (lib::SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    d.audioInit = true;
  }
  SDL_RWops* file = lib::SDL_RWFromFile(path.c_str(), "rb");
  if (!file) return false;
  SDL_AudioSpec spec{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (!lib::SDL_LoadWAV_RW(file, 1, &spec, &samples, &length)) return false;
  if (d.id && (d.spec.freq != spec.freq || d.spec.format != spec.format || d.spec.channels != spec.channels))
    CloseLocked(d);
  if (!d.id) {
    spec.callback = nullptr;  // queued playback
    d.id = lib::SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
    if (!d.id) {
      lib::SDL_FreeWAV(samples);
      return false;
    }
    d.spec = spec;
  }
  lib::SDL_ClearQueuedAudio(d.id);
  const bool ok = lib::SDL_QueueAudio(d.id, samples, length) == 0;
  lib::SDL_FreeWAV(samples);
  if (ok) lib::SDL_PauseAudioDevice(d.id, 0);
  return ok;
}

void StopSounds() {
  SoundDevice& d = Device();
  std::lock_guard<std::mutex> guard(d.lock);
  if (!FFLoader().LibraryLoaded(lkSDL)) {
    d.id = 0;
    return;
  }
  CloseLocked(d);
  if (d.audioInit) lib::SDL_QuitSubSystem(SDL_INIT_AUDIO);
  d.audioInit = false;
}

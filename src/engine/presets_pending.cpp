// Placeholders for target presets, preset files and video hook libraries,
// until they are built.
#include "engine/custom_ffmpeg.h"

#include "engine/engine_util.h"

void TCustomFFmpeg::SetPreset(const std::string& kind, const std::string& name) {
  if (name.empty()) return;
  throw FFmpegException(engine::Format("%s: presets are not available yet", name.c_str()));
}

void TCustomFFmpeg::SetTarget(const std::string& target, const std::string&, const std::string&) {
  throw FFmpegException(engine::Format("%s: target presets are not available yet", target.c_str()));
}

bool TCustomFFmpeg::AddVideoHook(const std::string&) { return false; }

void TCustomFFmpeg::ReleaseVideoHooks() { opt_.VideoHookAdded = false; }

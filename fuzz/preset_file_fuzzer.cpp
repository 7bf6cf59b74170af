// Preset files (option fpre): the input is the file's content. The preset is
// applied to a fresh task, then an output is opened so that the options it
// recorded are copied into the muxer as they would be for a real output.
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_events.h"
#include "engine_harness.h"
#include "fuzz_support.h"

namespace {
TCustomFFmpeg* task = nullptr;
std::string presetPath;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::LoadConverterLibraries();
  task = new TCustomFFmpeg();
  task->Verbose = -1;
  presetPath = fuzzsupport::ScratchPath("preset.ffpreset");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::WriteScratchFile(presetPath, data, size);
  task->ResetTask();
  try {
    task->SetPreset("fpre", presetPath);
    fuzzsupport::AddScratchOutput(*task, nullptr, "mkv");
  } catch (const FFmpegException&) {
  }
  task->ReleaseAll();
  return 0;
}

// Shared by the harnesses that drive a transcoding context: an output file in
// the scratch folder, made the way the engine component adds one.
#pragma once

#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "fuzz_support.h"

namespace fuzzsupport {

// Letters and digits of the wanted extension (at most eight), "mkv" when
// none remain; the harness input must not steer the output elsewhere.
inline std::string SafeExtension(const std::string& wanted) {
  std::string ext;
  for (char c : wanted)
    if (ext.size() < 8 && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) ext += c;
  return ext.empty() ? "mkv" : ext;
}

// Opens "out.<ext>" in the scratch folder and creates the extra streams the
// record asks for, as SetOutputFile does; false when the open failed.
inline bool AddScratchOutput(TCustomFFmpeg& task, const TOutputOptions* record, const std::string& ext) {
  const std::wstring name = engine::Utf8ToWide(ScratchPath("out." + SafeExtension(ext)));
  if (task.OpenOutputFile(name, record && record->Join) < 0) return false;
  if (record) task.CreateExtraStreams(*record);
  return true;
}

}  // namespace fuzzsupport

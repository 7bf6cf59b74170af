// The resolved choices of the options dialog for the next job(s), as the
// main window keeps them between the dialog and job creation.
#pragma once

#include <cstdint>
#include <string>

namespace profiles {

// Values of the cut-range state kept beside the pending options.
inline constexpr const char* kCutRangeSelected = "Select";
inline constexpr const char* kCutRangeNotSelected = "NoSelect";

// Bit-rate value meaning "no choice made" (video) or "automatic" (audio).
constexpr int32_t kBitrateNoChoice = -1000;

struct TPendingOptions {
  std::string AudioChannels;        // "2" or "1"; empty = keep the input's layout
  std::string AudioSampleRate;      // Hz as text, or "AUTO"; empty/"AUTO" = not set
  std::string FrameSize;            // as displayed, remark included; empty = keep
  std::string FrameRate;            // as displayed ("25.00", "29.97"); empty = keep
  std::string TargetNorm;           // "PAL" or "NTSC" for disc presets
  std::string VideoFilters;         // comma-separated "hflip", "vflip", "negate"
  std::string AudioVolume = "256";  // engine scale, 256 = unchanged
  std::string AspectRatio;          // "4:3" or "16:9"; empty = not set
  std::string VideoCodec;           // encoder name; empty = container default
  std::string AudioCodec;           // encoder name or "AUTO"; empty/"AUTO" = container default
  std::string FileFormat;           // container overriding the extension ("asf", "mov")
  std::string Target;               // disc preset "vcd", "svcd" or "dvd"
  std::string VideoTag;             // four-character code ("DX50", "XVID")
  int32_t VideoBitrate = -1;        // bit/s; kBitrateNoChoice = no choice made
  int32_t AudioBitrate = -1;        // bit/s; kBitrateNoChoice = automatic
  bool AudioOnly = false;           // drop the video stream
  int64_t CutStart = -1;            // ms; 0 = from the beginning
  int64_t CutDuration = -1;         // ms

  bool operator==(const TPendingOptions&) const = default;
};

// Every field back to its value before any choice (the default member values).
inline void ResetPendingOptions(TPendingOptions& options) { options = TPendingOptions{}; }

}  // namespace profiles

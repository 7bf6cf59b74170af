// The records through which a client hands the options of a task's input
// and of each of its outputs to the engine component. The application fills
// them field by field, so the field set, order, types and initial values are
// part of the component's interface.
//
// Times are 64-bit signed microseconds; kUnsetTime (the smallest 64-bit
// value) means "not set".
#pragma once

#include <cstdint>
#include <string>

inline constexpr int64_t kUnsetTime = INT64_MIN;

// Metadata of an output file.
struct TStreamInfo {
  double Timestamp = -1.0;  // day count since 1899-12-30, local time; 0 = now
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title;
  std::string Author;
  std::string Copyright;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

struct TInputOptions {
  std::wstring FileName;              // empty: receives the name given to AddTask
  std::string FileFormat;             // forces the container format (option f)
  int64_t StartTime = kUnsetTime;     // option ss when set
  int32_t ProgramId = -1;             // when 0 or more
  std::string ExtraOptions;           // option text, codec and size options included
};

struct TOutputOptions {
  std::wstring FileName;  // empty: receives the name given to SetOutputFile
  std::string FileFormat;
  int32_t PacketSize = -1;
  int32_t MuxRate = -1;
  float MuxDelay = -1.0f;
  float MuxPreload = -1.0f;
  std::string AudioCodec;
  std::string AudioPreset;
  bool DisableAudio = false;
  int32_t AudioVolume = -1;
  int32_t AudioChannels = -1;
  int32_t AudioSampleRate = -1;
  int32_t AudioBitrate = -1;
  int32_t AudioBitrateTolerance = -1;
  std::string AudioLanguage;
  int32_t AudioSyncMethod = 0;
  std::string AudioTag;
  std::string VideoCodec;
  std::string VideoPreset;
  bool DisableVideo = false;
  std::string FrameRate;
  std::string FrameSize;
  std::string AspectRatio;
  int32_t CropTop = -1;
  int32_t CropBottom = -1;
  int32_t CropLeft = -1;
  int32_t CropRight = -1;
  int32_t GopSize = -1;
  int32_t VideoBitrate = -1;
  int32_t MaxRate = -1;
  int32_t MinRate = -1;
  int32_t VideoBitrateTolerance = -1;
  int32_t BufSize = -1;
  int32_t VideoSyncMethod = -1;
  std::string VideoTag;
  std::string VideoFilters;
  std::string VideoLanguage;
  std::string SubtitleCodec;
  std::string SubtitlePreset;
  bool DisableSubtitle = false;
  std::string SubtitleLanguage;
  bool InputSync = false;
  bool CopyTs = false;
  int64_t StartTime = kUnsetTime;
  int64_t RecordingTime = kUnsetTime;
  TStreamInfo Metadata;
  int32_t Target = 0;             // 1 vcd, 2 svcd, 3 dvd
  int32_t TargetNorm = 0;         // 0 auto, 1 pal, 2 ntsc
  int32_t TargetDefaultNorm = 1;  // 1 pal, anything else ntsc
  bool CustomHook = false;        // route the video frames through OnCustomHook
  bool Join = false;
  std::string ExtraOptions;
};

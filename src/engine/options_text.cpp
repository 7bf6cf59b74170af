// Option texts and the option records: the fixed order in which a record's
// fields, defaults, option text and extra streams become option calls.
#include <cmath>
#include <ctime>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/option_names.h"
#include "media/library_tables.h"

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// Normalised lines of an option text (option_names.h).
Lines SplitOptionLines(const std::string& input) { return engine::OptionTextLines(input); }

bool In(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

std::string Lookup(const Lines& list, const std::string& name) {
  for (const auto& [n, v] : list)
    if (n == name) return v;
  return std::string();
}

void SetValue(Lines& list, const std::string& name, const std::string& value) {
  for (auto& [n, v] : list)
    if (n == name) {
      v = value;
      return;
    }
  list.emplace_back(name, value);
}

}  // namespace

void TCustomFFmpeg::ParseOptionText(const std::string& text, bool includeCodecs) {
  for (const auto& [name, value] : SplitOptionLines(text)) {
    if (In(name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"})) continue;
    if (In(name, {"acodec", "vcodec", "scodec", "s"}) && !includeCodecs) continue;
    ParseOption(name, value);
  }
}

void TCustomFFmpeg::ApplyInputOptions(const TInputOptions& options) {
  ParseOptionText(options.ExtraOptions, true);
  ParseOption("f", options.FileFormat);
  if (options.StartTime != kUnsetTime) opt_.StartTime = options.StartTime;
  if (options.ProgramId >= 0) opt_.ProgramId = options.ProgramId;
}

void TCustomFFmpeg::ApplyOutputOptions(const TOutputOptions& r) {
  using std::to_string;
  // Defaults, then the first occurrence in the text of each option that
  // has one, and every such line in order for the extra streams.
  Lines& defaults = defaultsList_;
  defaults.clear();
  defaults = {{"def_acodec", r.AudioCodec}, {"def_vcodec", r.VideoCodec}, {"def_scodec", r.SubtitleCodec},
              {"def_apre", r.AudioPreset},  {"def_vpre", r.VideoPreset},  {"def_spre", r.SubtitlePreset},
              {"def_s", r.FrameSize},       {"def_vf", r.VideoFilters}};
  for (auto [name, value] : SplitOptionLines(r.ExtraOptions)) {
    if (!In(name, {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vfilters", "vf"}) || value.empty())
      continue;
    if (name == "vfilters") name = "vf";
    if (Lookup(defaults, "def_" + name).empty()) SetValue(defaults, "def_" + name, value);
    defaults.emplace_back(name, value);
  }

  if (r.Target >= 1 && r.Target <= 3) {
    static const char* const kTargets[] = {"vcd", "svcd", "dvd"};
    std::string norm = r.TargetNorm == 1 ? "pal" : r.TargetNorm == 2 ? "ntsc" : "auto";
    SetTarget(kTargets[r.Target - 1], norm, r.TargetDefaultNorm == 1 ? "pal" : "ntsc");
  }
  SetAudioCodec(Lookup(defaults, "def_acodec"));
  SetVideoCodec(Lookup(defaults, "def_vcodec"));
  SetSubtitleCodec(Lookup(defaults, "def_scodec"));
  SetPreset("apre", Lookup(defaults, "def_apre"));
  SetPreset("vpre", Lookup(defaults, "def_vpre"));
  SetPreset("spre", Lookup(defaults, "def_spre"));
  ParseOptionText(r.ExtraOptions, false);

  // The record's fields come last, so a set field overrides the text.
  ParseOption("f", r.FileFormat);
  if (r.PacketSize > 0) SetGenericOption("packetsize", to_string(r.PacketSize));
  if (r.MuxRate > 0) SetGenericOption("muxrate", to_string(r.MuxRate));
  if (r.MuxDelay > 0) opt_.MuxMaxDelay = r.MuxDelay;
  if (r.MuxPreload > 0) opt_.MuxPreload = r.MuxPreload;
  if (r.DisableAudio) opt_.AudioDisable = true;
  if (r.AudioVolume >= 0) opt_.AudioVolume = r.AudioVolume;
  if (r.AudioChannels > 0) opt_.AudioChannels = r.AudioChannels;
  if (r.AudioSampleRate > 0) opt_.AudioSampleRate = r.AudioSampleRate;
  if (r.AudioBitrate > 0) SetGenericOption("ab", to_string(r.AudioBitrate));
  if (r.AudioBitrateTolerance > 0) SetGenericOption("abt", to_string(r.AudioBitrateTolerance));
  opt_.AudioLanguage = r.AudioLanguage;
  opt_.AudioSyncMethod = r.AudioSyncMethod;
  ParseOption("atag", r.AudioTag);
  if (r.DisableVideo) opt_.VideoDisable = true;
  ParseOption("r", r.FrameRate);
  ParseOption("aspect", r.AspectRatio);
  ParseOption("croptop", to_string(r.CropTop));
  ParseOption("cropbottom", to_string(r.CropBottom));
  ParseOption("cropleft", to_string(r.CropLeft));
  ParseOption("cropright", to_string(r.CropRight));
  if (r.GopSize > 0) SetGenericOption("g", to_string(r.GopSize));
  if (r.VideoBitrate > 0) SetGenericOption("vb", to_string(r.VideoBitrate));
  if (r.MaxRate > 0) SetGenericOption("maxrate", to_string(r.MaxRate));
  if (r.MinRate > 0) SetGenericOption("minrate", to_string(r.MinRate));
  if (r.VideoBitrateTolerance > 0) SetGenericOption("bt", to_string(r.VideoBitrateTolerance));
  if (r.BufSize > 0) SetGenericOption("bufsize", to_string(r.BufSize));
  opt_.VideoSyncMethod = r.VideoSyncMethod;
  ParseOption("vtag", r.VideoTag);
  opt_.VideoLanguage = r.VideoLanguage;
  if (r.DisableSubtitle) opt_.SubtitleDisable = true;
  opt_.SubtitleLanguage = r.SubtitleLanguage;
  opt_.InputSync = r.InputSync;
  if (r.CopyTs) opt_.CopyTs = true;
  if (r.StartTime != kUnsetTime) opt_.StartTime = r.StartTime;
  if (r.RecordingTime != kUnsetTime) {
    opt_.RecordingTime = r.RecordingTime;
    TotalDuration = r.RecordingTime;
  }
  const TStreamInfo& m = r.Metadata;
  if (m.Timestamp == 0) {
    opt_.RecordingTimestamp = int64_t(std::time(nullptr));
  } else if (m.Timestamp > 0) {
    // Local day count since 1899-12-30 to seconds since 1970 UTC.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    opt_.RecordingTimestamp = std::llround((m.Timestamp - 25569.0) * 86400.0 - double(local.tm_gmtoff));
  }
  if (m.Year > 0) opt_.Metadata.emplace_back("year", to_string(m.Year));
  if (m.Track > 0) opt_.Metadata.emplace_back("track", to_string(m.Track));
  const std::pair<const char*, const std::string*> texts[] = {
      {"title", &m.Title},     {"author", &m.Author}, {"copyright", &m.Copyright},
      {"comment", &m.Comment}, {"album", &m.Album},   {"genre", &m.Genre}};
  for (const auto& [key, value] : texts)
    if (!value->empty()) opt_.Metadata.emplace_back(key, *value);

  SetFrameSize(Lookup(defaults, "def_s"));
  SetVideoFilters(Lookup(defaults, "def_vf"));
}

void TCustomFFmpeg::CreateExtraStreams(const TOutputOptions& r) {
  Lines& defaults = defaultsList_;
  auto take = [&](const std::string& name) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
      if (it->first == name) {
        std::string value = it->second;
        defaults.erase(it);
        ParseOption(name, value);
        return;
      }
    ParseOption(name, Lookup(defaults, "def_" + name));
  };
  for (const auto& [name, value] : SplitOptionLines(r.ExtraOptions)) {
    if (name == "newaudio") {
      take("acodec");
      take("apre");
    } else if (name == "newvideo") {
      take("vcodec");
      take("vpre");
      take("s");
      take("vf");
    } else if (name == "newsubtitle") {
      take("scodec");
      take("spre");
    } else {
      continue;
    }
    ParseOption(name, value);
  }
}

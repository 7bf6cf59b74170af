// ParseOption: the option vocabulary of a task. Rows are tested in a fixed
// order; the first match wins and unknown names go to SetGenericOption.
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <stdexcept>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::FlagValue;
using engine::Format;
using engine::StrToFloat;
using engine::StrToInt;
using engine::StrToInt64;

namespace {

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

int64_t ParseTime(const std::string& name, const std::string& value, bool duration) {
  int64_t t = 0;
  if (lib::av_parse_time(&t, value.c_str(), duration ? 1 : 0) < 0 || t == INT64_MIN)
    throw FFmpegException(Format("Invalid %s specification for %s: %s", duration ? "duration" : "date",
                                 name.c_str(), value.c_str()));
  return t;
}

// Folder of the running executable, with a trailing separator.
std::string ExecutableFolder() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string p(path, size_t(n));
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? "./" : p.substr(0, slash + 1);
}

}  // namespace

void TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) {
  TOptionState& o = opt_;
  if (OneOf(name, {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters"})) {
    Log(this, llInfo, "Do nothing: option - " + name);
  } else if (name == "loglevel") {
    try {
      DefaultLogger().SetLogLevelByName(value);
    } catch (const std::invalid_argument& e) {
      // A name that is no level is read as a number and fails as one.
      throw FFmpegException(e.what());
    }
  } else if (name == "f") {
    if (value.empty()) return;
    if (value == "pgmyuv") {
      o.FileFormat = "image2";
      o.PgmyuvCompat = true;
      Log(this, llInfo, "pgmyuv format is deprecated, use image2");
    } else {
      o.FileFormat = value;
    }
  } else if (OneOf(name, {"i", "y"})) {
    Log(this, llInfo, "Do nothing: option - " + name);
  } else if (name == "map") {
    ParseStreamMap(value);
  } else if (name == "map_meta_data") {
    if (int(o.MetaDataMaps.size()) >= fileCapacity_)
      throw FFmpegException(Format("Too many map_meta_data entries (at most %d)", fileCapacity_));
    const char* p = value.c_str();
    char* end = nullptr;
    TMetaDataMap m;
    m.OutFile = int32_t(std::strtol(p, &end, 0));
    if (*end) ++end;
    m.InFile = int32_t(std::strtol(end, &end, 0));
    o.MetaDataMaps.push_back(m);
  } else if (name == "t") {
    o.RecordingTime = ParseTime(name, value, true);
    TotalDuration = o.RecordingTime;
  } else if (name == "fs") {
    o.LimitFileSize = StrToInt64(value);
  } else if (name == "ss") {
    o.StartTime = ParseTime(name, value, true);
  } else if (name == "itsoffset") {
    o.InputTsOffset = ParseTime(name, value, true);
  } else if (name == "itsscale") {
    const char* p = value.c_str();
    char* end = nullptr;
    long stream = std::strtol(p, &end, 0);
    if (*end) ++end;
    double scale = std::strtod(end, nullptr);
    if (stream < 0 || stream >= kMaxStreams)
      throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", kMaxStreams));
    size_t file = inputFiles_.size();
    if (o.InputTsScale.size() <= file) o.InputTsScale.resize(file + 1, std::vector<double>(kMaxStreams, 0.0));
    o.InputTsScale[file][size_t(stream)] = scale;
  } else if (name == "timestamp") {
    o.RecordingTimestamp = std::llround(double(ParseTime(name, value, false)) / 1000000.0);
  } else if (name == "metadata") {
    size_t eq = value.find('=');
    if (eq == std::string::npos) throw FFmpegException("Missing =");
    o.Metadata.emplace_back(value.substr(0, eq), value.substr(eq + 1));
  } else if (name == "dframes") {
    o.MaxFrames[AVMEDIA_TYPE_DATA] = StrToInt(value);
  } else if (name == "benchmark") {
    Log(this, llInfo, "Do nothing: option - " + name);
  } else if (name == "timelimit") {
    Log(this, llWarning, "Warning: -timelimit not implemented on Windows");
  } else if (name == "dump") {
    o.PktDump = FlagValue(value);
  } else if (name == "hex") {
    o.HexDump = FlagValue(value);
  } else if (name == "re") {
    o.RateEmu = FlagValue(value);
  } else if (name == "loop_input") {
    o.LoopInput = FlagValue(value);
  } else if (name == "loop_output") {
    o.LoopOutput = StrToInt(value);
  } else if (name == "v") {
    Verbose = StrToInt(value);
  } else if (name == "target") {
    std::string t = engine::Trim(value);
    std::string norm = "auto";
    for (const char* prefix : {"pal-", "ntsc-", "film-"}) {
      std::string p = prefix;
      if (t.compare(0, p.size(), p) == 0) {
        norm = p.substr(0, p.size() - 1);
        t = t.substr(p.size());
        break;
      }
    }
    SetTarget(t, norm, "ntsc");
  } else if (name == "threads") {
    // Decoder and encoder threads of the streams that follow; 0 = automatic.
    int32_t n = StrToInt(value);
    if (n < 0) throw FFmpegException(Format("Invalid thread count \"%s\"", value.c_str()));
    o.Threads = n;
  } else if (name == "vsync") {
    o.VideoSyncMethod = StrToInt(value);
  } else if (name == "async") {
    o.AudioSyncMethod = StrToInt(value);
  } else if (name == "adrift_threshold") {
    o.AudioDriftThreshold = float(StrToFloat(value));
  } else if (name == "vglobal") {
    o.VideoGlobalHeader = StrToInt(value);
  } else if (name == "copyts") {
    o.CopyTs = true;
  } else if (name == "shortest") {
    o.Shortest = FlagValue(value);
  } else if (name == "dts_delta_threshold") {
    o.DtsDeltaThreshold = float(StrToFloat(value));
  } else if (name == "programid") {
    o.ProgramId = StrToInt(value);
  } else if (name == "xerror") {
    o.ExitOnError = true;
  } else if (name == "copyinkf") {
    o.CopyInitialNonKeyframes = StrToInt(value);
  } else if (OneOf(name, {"b", "vb", "ab"})) {
    ParseBitRate(name, value);
  } else if (name == "vframes") {
    o.MaxFrames[AVMEDIA_TYPE_VIDEO] = StrToInt(value);
  } else if (name == "r") {
    if (value.empty()) return;
    AVRational rate;
    if (lib::av_parse_video_rate(&rate, value.c_str()) < 0 || rate.num <= 0 || rate.den <= 0)
      throw FFmpegException("Incorrect frame rate");
    o.FrameRate = rate;
  } else if (name == "s") {
    ParseFrameSize(value);
  } else if (name == "aspect") {
    ParseAspect(value);
  } else if (name == "pix_fmt") {
    if (value == "list") {
      char buffer[128];
      for (int i = -1; i < AV_PIX_FMT_NB; ++i) {
        if (i >= 0 && !lib::av_pix_fmt_desc_get(AVPixelFormat(i))) continue;
        lib::av_get_pix_fmt_string(buffer, sizeof buffer, AVPixelFormat(i));
        Log(this, llInfo, engine::Trim(buffer));
      }
      return;
    }
    AVPixelFormat f = lib::av_get_pix_fmt(value.c_str());
    if (f == AV_PIX_FMT_NONE) throw FFmpegException(Format("Unknown pixel format requested: %s", value.c_str()));
    o.FramePixFmt = f;
  } else if (OneOf(name, {"croptop", "cropbottom", "cropleft", "cropright"})) {
    ParseCrop(name, value);
  } else if (OneOf(name, {"padtop", "padbottom", "padleft", "padright", "padcolor"})) {
    throw FFmpegException("Please use vfilters=pad");
  } else if (name == "intra") {
    o.IntraOnly = FlagValue(value);
  } else if (name == "vn") {
    o.VideoDisable = FlagValue(value);
  } else if (name == "vdt") {
    o.VideoDiscard = StrToInt(value);
  } else if (name == "qscale") {
    double q = StrToFloat(value);
    if (!(q > 0 && q <= 255)) throw FFmpegException("qscale must be > 0.0 and <= 255");
    o.VideoQScale = float(q);
  } else if (name == "rc_override") {
    o.VideoRcOverride = value;
  } else if (name == "vcodec") {
    SetVideoCodec(value);
  } else if (name == "me_threshold") {
    o.MeThreshold = StrToInt(value);
  } else if (name == "sameq") {
    o.SameQuality = FlagValue(value);
  } else if (name == "pass") {
    int32_t pass = StrToInt(value);
    if (pass != 1 && pass != 2) throw FFmpegException("pass number can be only 1 or 2");
    o.DoPass = pass;
  } else if (name == "passlogfile") {
    o.PassLogFilePrefix = value;
  } else if (name == "deinterlace") {
    o.Deinterlace = FlagValue(value);
  } else if (name == "psnr") {
    o.DoPsnr = FlagValue(value);
  } else if (name == "vstats") {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    o.VStatsFileName =
        ExecutableFolder() + Format("vstats_%02d%02d%02d.log", local.tm_hour, local.tm_min, local.tm_sec);
  } else if (name == "vstats_file") {
    o.VStatsFileName = value;
  } else if (name == "vhook") {
    if (!AddVideoHook(value)) throw FFmpegException("Failed to add video hook function: " + value);
  } else if (OneOf(name, {"vfilters", "vf"})) {
    SetVideoFilters(value);
  } else if (OneOf(name, {"intra_matrix", "inter_matrix"})) {
    ParseMatrix(name, value);
  } else if (name == "top") {
    o.TopFieldFirst = StrToInt(value);
  } else if (name == "dc") {
    o.IntraDcPrecision = StrToInt(value);
  } else if (name == "vtag") {
    ParseTag(name, value);
  } else if (name == "newvideo") {
    NewStreamOption(name);
  } else if (name == "vlang") {
    o.VideoLanguage = value;
  } else if (name == "qphist") {
    o.QpHist = FlagValue(value);
  } else if (name == "force_fps") {
    o.ForceFps = FlagValue(value);
  } else if (name == "streamid") {
    size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
      throw FFmpegException(Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                                   value.c_str(), name.c_str()));
    int32_t index = StrToInt(value.substr(0, colon));
    int32_t id = StrToInt(value.substr(colon + 1));
    if (index < 0 || index >= kMaxStreams)
      throw FFmpegException(Format("Invalid stream index %d for option \"%s\" (0 to %d)", index, name.c_str(),
                                   kMaxStreams - 1));
    o.StreamIdMap[index] = id;
  } else if (name == "aframes") {
    o.MaxFrames[AVMEDIA_TYPE_AUDIO] = StrToInt(value);
  } else if (name == "aq") {
    o.AudioQScale = float(StrToFloat(value));
  } else if (name == "ar") {
    int32_t v = StrToInt(value);
    if (v > 0) o.AudioSampleRate = v;
  } else if (name == "ac") {
    int32_t v = StrToInt(value);
    if (v > 0) o.AudioChannels = v;
  } else if (name == "an") {
    o.AudioDisable = FlagValue(value);
  } else if (name == "acodec") {
    SetAudioCodec(value);
  } else if (name == "atag") {
    ParseTag(name, value);
  } else if (name == "vol") {
    o.AudioVolume = StrToInt(value);
  } else if (name == "newaudio") {
    NewStreamOption(name);
  } else if (name == "alang") {
    o.AudioLanguage = value;
  } else if (name == "sample_fmt") {
    if (value == "list") {
      char buffer[128];
      for (int i = -1; i < AV_SAMPLE_FMT_NB; ++i) {
        lib::av_get_sample_fmt_string(buffer, sizeof buffer, AVSampleFormat(i));
        Log(this, llInfo, engine::Trim(buffer));
      }
      return;
    }
    o.AudioSampleFmt = lib::av_get_sample_fmt(value.c_str());
  } else if (name == "sn") {
    o.SubtitleDisable = FlagValue(value);
  } else if (name == "scodec") {
    SetSubtitleCodec(value);
  } else if (name == "newsubtitle") {
    NewStreamOption(name);
  } else if (name == "slang") {
    o.SubtitleLanguage = value;
  } else if (name == "stag") {
    ParseTag(name, value);
  } else if (name == "vc") {
    o.VideoChannel = StrToInt(value);
  } else if (name == "tvstd") {
    o.VideoStandard = value;
  } else if (name == "isync") {
    o.InputSync = FlagValue(value);
  } else if (name == "muxdelay") {
    o.MuxMaxDelay = float(StrToFloat(value));
  } else if (name == "muxpreload") {
    o.MuxPreload = float(StrToFloat(value));
  } else if (OneOf(name, {"absf", "vbsf", "sbsf"})) {
    ParseBitstreamFilter(name, value);
  } else if (OneOf(name, {"apre", "vpre", "spre", "fpre"})) {
    SetPreset(name, value);
  } else {
    SetGenericOption(name, value);
  }
}

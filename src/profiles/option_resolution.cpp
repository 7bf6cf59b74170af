#include "profiles/option_resolution.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "profiles/file_names.h"
#include "profiles/output_catalogue.h"

namespace profiles {
namespace {

struct TVolumeStep {
  std::string_view Caption;
  int Volume;  // 256 × factor, rounded
};

constexpr std::array<TVolumeStep, 28> kVolumeSteps = {{
    {"无声音", 0},         {"音量降低90%", 26},    {"音量降低80%", 51},   {"音量降低70%", 77},
    {"音量降低60%", 102},  {"音量降低50%", 128},   {"音量降低40%", 154},  {"音量降低30%", 179},
    {"音量降低20%", 205},  {"音量降低10%", 230},   {"音量保持不变", 256}, {"音量增加10%", 282},
    {"音量增加20%", 307},  {"音量增加30%", 333},   {"音量增加40%", 358},  {"音量增加50%", 384},
    {"音量增加60%", 410},  {"音量增加70%", 435},   {"音量增加80%", 461},  {"音量增加90%", 486},
    {"音量增加1倍", 512},  {"音量增加1.5倍", 640}, {"音量增加2倍", 768},  {"音量增加3倍", 1024},
    {"音量增加4倍", 1280}, {"音量增加5倍", 1536},  {"音量增加6倍", 1792}, {"音量增加7倍", 2048},
}};

struct TCodecRule {
  std::string_view Caption;
  std::string_view Codec;
  std::string_view VideoTag;    // set when not empty
  std::string_view FileFormat;  // set when not empty
};

// Video codec captions with a rule. Captions without one ("MPEG4视频压缩器"
// without the blank, "VOB视频压缩器") leave the codec as it was.
constexpr std::array<TCodecRule, 16> kVideoCodecRules = {{
    {"Divx 5 视频压缩器", "mpeg4", "DX50", ""},
    {"Divx 视频压缩器", "msmpeg4", "", ""},
    {"XviD 视频压缩器1", "mpeg4", "XVID", ""},
    {"XviD 视频压缩器2", "libxvid", "", ""},
    {"MPEG4 视频压缩器", "mpeg4", "", ""},
    {"H264/AVC高清视频压缩器", "libx264", "", ""},
    {"Mjpeg 视频压缩器", "mjpeg", "", ""},
    {"RM视频压缩器1", "rv10", "", ""},
    {"RM视频压缩器2", "rv20", "", ""},
    {"WMV视频压缩器", "wmv2", "", ""},
    {"MPEG视频压缩器", "mpeg1video", "", ""},
    {"ASF视频压缩器", "msmpeg4", "", "asf"},
    {"FLASH格式视频压缩器", "", "", ""},
    {"FLV格式视频压缩器", "", "", ""},
    {"QuickTime视频压缩器", "", "", ""},
    {"该格式无视频", "", "", ""},
}};

struct TDiscRule {
  std::string_view Caption;
  std::string_view Target;
  std::string_view Norm;
};

constexpr std::array<TDiscRule, 6> kDiscRules = {{
    {"PAL_DVD视频压缩器", "dvd", "PAL"},
    {"NTSC_DVD视频压缩器", "dvd", "NTSC"},
    {"PAL_SVCD视频压缩器", "svcd", "PAL"},
    {"NTSC_SVCD视频压缩器", "svcd", "NTSC"},
    {"PAL_VCD视频压缩器", "vcd", "PAL"},
    {"NTSC_VCD视频压缩器", "vcd", "NTSC"},
}};

// Audio codec captions with a rule; "VOB音频编码器" has none. The encoders
// are those of the bound libraries: AAC is the built-in "aac" encoder, Ogg
// uses "libvorbis".
constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kAudioCodecRules = {{
    {"MP3音频编码器", "libmp3lame"},
    {"Flac音频编码器", "flac"},
    {"AAC音频编码器", "aac"},
    {"AC3音频编码器", "ac3"},
    {"自动音频编码器", "AUTO"},
    {"WMV音频编码器", "wmav2"},
    {"WMA音频编码器", "wmav2"},
    {"ASF音频编码器1", "wmav2"},
    {"ASF音频编码器2", "wmav1"},
    {"OGG音频编码器", "libvorbis"},
    {"AMR音频编码器", "libopencore_amrnb"},
    {"WAVE音频编码器", ""},
    {"RM音频编码器", ""},
    {"MP2音频编码器", ""},
}};

// Largest value a single time edit may hold; keeps the millisecond sums far
// from overflowing whatever digits are pasted in.
constexpr int64_t kMaxTimeField = 999'999'999;

// A failed number conversion: the offending text.
struct TBadNumber {
  std::string Text;
};

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

template <typename Int>
std::optional<Int> ParseInteger(std::string_view text) {
  Int value{};
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (begin == end || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// text × 1000 as bit/s; throws TBadNumber.
int32_t KiloToUnits(std::string_view text, bool decimal) {
  double value = 0;
  if (decimal) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
      throw TBadNumber{std::string(text)};
  } else {
    const std::optional<int64_t> parsed = ParseInteger<int64_t>(text);
    if (!parsed) throw TBadNumber{std::string(text)};
    value = static_cast<double>(*parsed);
  }
  const double units = std::round(value * 1000.0);
  if (!std::isfinite(units) || units < std::numeric_limits<int32_t>::min() ||
      units > std::numeric_limits<int32_t>::max())
    throw TBadNumber{std::string(text)};
  return static_cast<int32_t>(units);
}

int64_t TimeField(std::string_view text) {
  const std::optional<int64_t> value = ParseInteger<int64_t>(text);
  if (!value || *value < 0 || *value > kMaxTimeField) throw TBadNumber{std::string(text)};
  return *value;
}

int64_t Milliseconds(const TCutTimes& times, int first) {
  return (TimeField(times[first]) * 3600 + TimeField(times[first + 1]) * 60 + TimeField(times[first + 2])) *
         1000;
}

void AppendFilter(std::string& filters, std::string_view filter) {
  if (!filters.empty()) filters += ',';
  filters += filter;
}

std::string TwoDigits(int64_t value) {
  std::string text = std::to_string(value);
  if (text.size() < 2) text.insert(0, "0");
  return text;
}

// The resolution steps proper; throws TBadNumber on a failed conversion.
TResolveStatus Resolve(const TDialogChoices& dialog, std::string_view outputFolder, TJobChoice& choice,
                       TResolveResult& result) {
  TPendingOptions& p = choice.Pending;
  const auto& caption = dialog.Captions;

  // Channels.
  if (caption[olChannels] == "立体声")
    p.AudioChannels = "2";
  else if (caption[olChannels] == "单声道")
    p.AudioChannels = "1";

  // Sample rate.
  p.AudioSampleRate = caption[olSampleRate] == "自动音频采样率" ? "AUTO" : caption[olSampleRate];

  // Audio bit rate in kbit/s; AMR rates carry decimals ("7.4" → 7400).
  const std::string& audioBitrate = caption[olAudioBitrate];
  if (audioBitrate == "自动音频比特率")
    p.AudioBitrate = kBitrateNoChoice;
  else
    p.AudioBitrate = KiloToUnits(audioBitrate, audioBitrate.find('.') != std::string::npos);

  // Picture size, remark included: the engine reads width, one separator,
  // height and ignores the rest.
  const std::string& size = caption[olFrameSize];
  p.FrameSize = (size == "保持原分辨率" || size == "无") ? std::string() : size;

  const std::string& rate = caption[olFrameRate];
  p.FrameRate = (rate == "保持原帧速率" || rate == "无") ? std::string() : rate;

  const std::string& aspect = caption[olAspect];
  if (aspect == "普通视频4:3模式")
    p.AspectRatio = "4:3";
  else if (aspect == "宽屏视频16:9模式")
    p.AspectRatio = "16:9";
  else if (aspect == "无")
    p.AspectRatio.clear();

  // Video bit rate: the number before "kbps".
  const std::string& videoBitrate = caption[olVideoBitrate];
  if (videoBitrate == "无")
    p.VideoBitrate = kBitrateNoChoice;
  else
    p.VideoBitrate =
        KiloToUnits(Trim(std::string_view(videoBitrate).substr(0, videoBitrate.find("kbps"))), false);

  // Video codec.
  const std::string& codec = caption[olVideoCodec];
  for (const TCodecRule& rule : kVideoCodecRules) {
    if (codec != rule.Caption) continue;
    p.VideoCodec = rule.Codec;
    if (!rule.VideoTag.empty()) p.VideoTag = rule.VideoTag;
    if (!rule.FileFormat.empty()) p.FileFormat = rule.FileFormat;
  }

  // Disc presets drop every choice so far; the engine's preset decides.
  for (const TDiscRule& disc : kDiscRules) {
    if (codec != disc.Caption) continue;
    p.Target = disc.Target;
    p.TargetNorm = disc.Norm;
    p.AudioChannels.clear();
    p.AudioSampleRate.clear();
    p.FrameSize.clear();
    p.FrameRate.clear();
    p.AspectRatio.clear();
    p.FileFormat.clear();
    p.VideoTag.clear();
    p.VideoCodec.clear();
    p.AudioCodec.clear();
    p.AudioVolume = "256";
    p.VideoBitrate = kBitrateNoChoice;
    p.AudioBitrate = kBitrateNoChoice;
    const std::string suffix = "_" + std::string(disc.Norm) + ".mpg";
    choice.OutputFileName =
        JoinPath(outputFolder, ChangeFileExt(ExtractFileName(choice.OutputFileName), suffix));
  }

  if (dialog.HorizontalFlip) AppendFilter(p.VideoFilters, "hflip");
  if (dialog.VerticalFlip) AppendFilter(p.VideoFilters, "vflip");
  if (dialog.Negative) AppendFilter(p.VideoFilters, "negate");

  // Audio codec: after the disc step, so a disc keeps the chosen audio codec.
  for (const auto& [audioCaption, audioCodec] : kAudioCodecRules)
    if (caption[olAudioCodec] == audioCaption) p.AudioCodec = audioCodec;

  if (dialog.DiscTarget == "vcd" || dialog.DiscTarget == "svcd" || dialog.DiscTarget == "dvd")
    p.Target = dialog.DiscTarget;
  else if (dialog.DiscTarget.empty())
    p.Target.clear();

  p.AudioOnly = dialog.AudioOnlyMode;

  const int volume = VolumeForCaption(caption[olVolume]);
  if (volume >= 0) p.AudioVolume = std::to_string(volume);

  // Cut range.
  if (!dialog.CutEnabled) {
    p.CutStart = 0;
    choice.CutRangeState = kCutRangeNotSelected;
    return rsOk;
  }
  for (std::string& time : result.CutTimes)
    if (time.empty()) time = "00";
  const int64_t start = Milliseconds(result.CutTimes, ctStartHours);
  const int64_t stop = Milliseconds(result.CutTimes, ctStopHours);
  const std::optional<int64_t> seconds = ParseInteger<int64_t>(dialog.ProbedDuration);
  if (!seconds || *seconds < 0 || *seconds > kMaxTimeField * 3600) throw TBadNumber{dialog.ProbedDuration};
  const int64_t total = *seconds * 1000;
  if (stop > total) {
    result.Message = kCutStopBeyondEndMessage;
    return rsCutRangeError;
  }
  if (stop <= start) {
    result.Message = kCutStopNotAfterStartMessage;
    return rsCutRangeError;
  }
  p.CutStart = start;
  p.CutDuration = stop - start;
  choice.CutRangeState = kCutRangeSelected;
  return rsOk;
}

}  // namespace

TResolveResult ResolveOptions(const TDialogChoices& dialog, std::string_view outputFolder,
                              TJobChoice& choice) {
  TResolveResult result;
  result.CutTimes = dialog.CutTimes;
  // Without a type every list is empty and nothing can be resolved; send the
  // user back to the chooser instead of failing on the first number.
  if (dialog.Captions[olVideoCodec].empty() && dialog.Captions[olAudioCodec].empty()) {
    result.Status = rsNoType;
    result.Message = kChooseTypeMessage;
    result.Error = "No output type chosen";
    return result;
  }
  TJobChoice resolved = choice;
  try {
    result.Status = Resolve(dialog, outputFolder, resolved, result);
  } catch (const TBadNumber& bad) {
    result.Status = rsInvalidValue;
    result.Message = "选项设置无效：“" + bad.Text + "”不是有效的数值！";
    result.Error = "Option resolution failed: '" + bad.Text + "' is not a valid number";
  }
  if (result.Status == rsOk) choice = std::move(resolved);
  return result;
}

int VolumeForCaption(std::string_view caption) {
  for (const TVolumeStep& step : kVolumeSteps)
    if (step.Caption == caption) return step.Volume;
  return -1;
}

TCutRangePreset CutRangePresetFor(int64_t durationMicroseconds) {
  const int64_t seconds = durationMicroseconds > 0 ? durationMicroseconds / 1000000 : 0;
  const int64_t hours = seconds / 3600;
  const int64_t minutes = (seconds - hours * 3600) / 60;
  TCutRangePreset preset;
  preset.ProbedDuration = std::to_string(seconds);
  preset.CutTimes = {"00", "00", "00", TwoDigits(hours), TwoDigits(minutes), TwoDigits(seconds % 60)};
  return preset;
}

bool IsTimeEditKeyAllowed(char32_t key) {
  return key == U'\b' || key == U'\r' || (key >= U'0' && key <= U'9');
}

std::string ForcedInputFormatFor(std::string_view fileName) {
  return HasExtension(fileName, ".dat") ? "mpeg" : "";
}

}  // namespace profiles

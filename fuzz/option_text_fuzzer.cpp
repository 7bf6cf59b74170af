// The option texts and records of a task: an input record and an output
// record applied in the engine's order, then the output opened and its extra
// streams created. The input is up to three NUL-separated pieces:
//   1. the output record's option text ("name=value" lines, "<CRLF>" too),
//   2. record fields, one "Field=value" per line (see kFields; "in." for the
//      input record; "OutputExtension" picks the output file's extension),
//   3. the input record's option text.
// Option errors are FFmpegException and expected; anything else escaping,
// or a sanitizer report, is a fault.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_events.h"
#include "engine_harness.h"
#include "fuzz_support.h"
#include "media/ffmpeg_logger.h"

namespace {

struct Records {
  TInputOptions In;
  TOutputOptions Out;
  std::string Extension;
};

int32_t Int32(const std::string& v) {
  long long n = std::strtoll(v.c_str(), nullptr, 0);
  if (n < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (n > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return int32_t(n);
}
int64_t Int64(const std::string& v) { return std::strtoll(v.c_str(), nullptr, 0); }
bool Bool(const std::string& v) { return v != "0" && !v.empty(); }

using O = TOutputOptions;
#define FIELD(name) \
  { #name, &O::name }

const std::pair<const char*, std::string O::*> kTextFields[] = {
    FIELD(FileFormat),    FIELD(AudioCodec),    FIELD(AudioPreset),    FIELD(AudioLanguage),
    FIELD(AudioTag),      FIELD(VideoCodec),    FIELD(VideoPreset),    FIELD(FrameRate),
    FIELD(FrameSize),     FIELD(AspectRatio),   FIELD(VideoTag),       FIELD(VideoFilters),
    FIELD(VideoLanguage), FIELD(SubtitleCodec), FIELD(SubtitlePreset), FIELD(SubtitleLanguage),
};
const std::pair<const char*, int32_t O::*> kIntFields[] = {
    FIELD(PacketSize),
    FIELD(MuxRate),
    FIELD(AudioVolume),
    FIELD(AudioChannels),
    FIELD(AudioSampleRate),
    FIELD(AudioBitrate),
    FIELD(AudioBitrateTolerance),
    FIELD(AudioSyncMethod),
    FIELD(CropTop),
    FIELD(CropBottom),
    FIELD(CropLeft),
    FIELD(CropRight),
    FIELD(GopSize),
    FIELD(VideoBitrate),
    FIELD(MaxRate),
    FIELD(MinRate),
    FIELD(VideoBitrateTolerance),
    FIELD(BufSize),
    FIELD(VideoSyncMethod),
    FIELD(Target),
    FIELD(TargetNorm),
    FIELD(TargetDefaultNorm),
};
const std::pair<const char*, float O::*> kFloatFields[] = {FIELD(MuxDelay), FIELD(MuxPreload)};
const std::pair<const char*, bool O::*> kFlagFields[] = {
    FIELD(DisableAudio), FIELD(DisableVideo), FIELD(DisableSubtitle),
    FIELD(InputSync),    FIELD(CopyTs),       FIELD(Join),
};
#undef FIELD
const std::pair<const char*, std::string TStreamInfo::*> kMetadataTexts[] = {
    {"Title", &TStreamInfo::Title},         {"Author", &TStreamInfo::Author},
    {"Copyright", &TStreamInfo::Copyright}, {"Comment", &TStreamInfo::Comment},
    {"Album", &TStreamInfo::Album},         {"Genre", &TStreamInfo::Genre},
};

template <typename Table, typename Apply>
bool Set(const Table& table, const std::string& name, Apply apply) {
  for (const auto& [field, member] : table) {
    if (name != field) continue;
    apply(member);
    return true;
  }
  return false;
}

void ApplyField(Records& r, const std::string& name, const std::string& v) {
  O& o = r.Out;
  if (Set(kTextFields, name, [&](auto m) { o.*m = v; })) return;
  if (Set(kIntFields, name, [&](auto m) { o.*m = Int32(v); })) return;
  if (Set(kFloatFields, name, [&](auto m) { o.*m = std::strtof(v.c_str(), nullptr); })) return;
  if (Set(kFlagFields, name, [&](auto m) { o.*m = Bool(v); })) return;
  if (Set(kMetadataTexts, name, [&](auto m) { o.Metadata.*m = v; })) return;
  if (name == "StartTime")
    o.StartTime = Int64(v);
  else if (name == "RecordingTime")
    o.RecordingTime = Int64(v);
  else if (name == "Timestamp")
    o.Metadata.Timestamp = std::strtod(v.c_str(), nullptr);
  else if (name == "Year")
    o.Metadata.Year = Int32(v);
  else if (name == "Track")
    o.Metadata.Track = Int32(v);
  else if (name == "in.FileFormat")
    r.In.FileFormat = v;
  else if (name == "in.StartTime")
    r.In.StartTime = Int64(v);
  else if (name == "in.ProgramId")
    r.In.ProgramId = Int32(v);
  else if (name == "OutputExtension")
    r.Extension = v;
}

void ApplyFields(Records& r, const std::string& text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    if (eq != std::string::npos) ApplyField(r, line.substr(0, eq), line.substr(eq + 1));
  }
}

// A video hook option loads a library named by the input: no harness input
// may make the process load arbitrary code.
bool AsksForVideoHook(const std::string& text) {
  return engine::Lower(text).find("vhook") != std::string::npos;
}

TCustomFFmpeg* task = nullptr;
TLogLevel initialLogLevel = llInfo;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::LoadConverterLibraries();
  task = new TCustomFFmpeg();
  task->Verbose = -1;
  initialLogLevel = DefaultLogger().LogLevel();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = fuzzsupport::SplitAtNul(data, size);
  Records r;
  r.Out.ExtraOptions = pieces[0];
  if (pieces.size() > 1) ApplyFields(r, pieces[1]);
  if (pieces.size() > 2) r.In.ExtraOptions = pieces[2];
  if (AsksForVideoHook(r.Out.ExtraOptions) || AsksForVideoHook(r.In.ExtraOptions)) return -1;

  DefaultLogger().SetLogLevel(initialLogLevel);
  task->ResetTask();
  try {
    task->ApplyInputOptions(r.In);
  } catch (const FFmpegException&) {
  }
  try {
    task->ApplyOutputOptions(r.Out);
    fuzzsupport::AddScratchOutput(*task, &r.Out, r.Extension);
  } catch (const FFmpegException&) {
  }
  task->ReleaseAll();
  return 0;
}

// Targets (option target): container, codecs, picture size, frame rate and
// the rate-control and muxing values that disc players require, for the
// PAL, NTSC or film norm.
#include <cmath>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

enum TNorm { nmPAL, nmNTSC, nmFILM, nmUnknown };

constexpr const char* kNormFrameRates[] = {"25", "30000/1001", "24000/1001"};

// PAL for 25 frames per second, NTSC for 29.97 and 23.976; rates in
// thousandths of a frame per second.
TNorm NormOfRate(int64_t rate) {
  if (rate == 29970 || rate == 23976) return nmNTSC;
  if (rate == 25000) return nmPAL;
  return nmUnknown;
}

int64_t Thousandths(AVRational r) { return std::llround(double(r.num) * 1000.0 / double(r.den)); }

}  // namespace

void TCustomFFmpeg::SetTarget(const std::string& target, const std::string& norm, const std::string& defaultNorm) {
  // An unknown target is reported as such, before the norm is looked for.
  if (target != "vcd" && target != "svcd" && target != "dvd" && target != "dv" && target != "dv50")
    throw FFmpegException("Unknown target type");
  TNorm n = nmUnknown;
  if (norm == "pal") {
    n = nmPAL;
  } else if (norm == "ntsc") {
    n = nmNTSC;
  } else if (norm == "film") {
    n = nmFILM;
  } else {
    if (opt_.FrameRate.den == 0) throw FFmpegException("frame_rate is invalid.");
    n = NormOfRate(Thousandths(opt_.FrameRate));
    // Then the video streams of the opened inputs, the first decisive one.
    for (size_t f = 0; n == nmUnknown && f < inputFiles_.size(); ++f) {
      const AVFormatContext* ctx = inputFiles_[f].Ctx;
      if (!ctx) continue;
      for (unsigned i = 0; n == nmUnknown && i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        AVRational rate = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate
                                                                                   : st->r_frame_rate;
        if (rate.num > 0 && rate.den > 0) n = NormOfRate(Thousandths(rate));
      }
    }
    if (n == nmUnknown) n = defaultNorm == "film" ? nmFILM : defaultNorm == "ntsc" ? nmNTSC : nmPAL;
    if (Verbose > 0) LogFmt(this, llVerbose, "Assuming %s for target.", n == nmPAL ? "PAL" : "NTSC");
  }

  const bool pal = n == nmPAL;
  // Values of the libraries' option tables; each must be taken.
  auto generic = [this](const char* name, const std::string& value) {
    if (!SetGenericOption(name, value))
      throw FFmpegException(Format("Target option %s=%s was not accepted", name, value.c_str()));
  };

  if (target == "vcd") {
    SetVideoCodec("mpeg1video");
    SetAudioCodec("mp2");
    ParseOption("f", "vcd");
    ParseOption("s", pal ? "352x288" : "352x240");
    ParseOption("r", kNormFrameRates[n]);
    generic("g", pal ? "15" : "18");
    generic("b", "1150000");
    generic("maxrate", "1150000");
    generic("minrate", "1150000");
    generic("bufsize", "327680");
    generic("ab", "224000");
    generic("packetsize", "2324");
    generic("muxrate", "1411200");
    opt_.AudioSampleRate = 44100;
    opt_.AudioChannels = 2;
    opt_.MuxPreload = 0.44f;
  } else if (target == "svcd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("mp2");
    ParseOption("f", "svcd");
    ParseOption("s", pal ? "480x576" : "480x480");
    ParseOption("r", kNormFrameRates[n]);
    generic("g", pal ? "15" : "18");
    generic("b", "2040000");
    generic("maxrate", "2516000");
    generic("minrate", "0");
    generic("bufsize", "1835008");
    // The scan-offset reservation is a private switch of the MPEG-2 encoder.
    generic("scan_offset", "1");
    generic("ab", "224000");
    generic("packetsize", "2324");
    opt_.AudioSampleRate = 44100;
    if (opt_.AudioChannels == 1) opt_.AudioChannels = 2;
  } else if (target == "dvd") {
    SetVideoCodec("mpeg2video");
    SetAudioCodec("ac3");
    ParseOption("f", "dvd");
    ParseOption("s", pal ? "720x576" : "720x480");
    ParseOption("r", kNormFrameRates[n]);
    generic("g", pal ? "15" : "18");
    generic("b", "6000000");
    generic("maxrate", "9000000");
    generic("minrate", "0");
    generic("bufsize", "1835008");
    generic("packetsize", "2048");
    generic("muxrate", "10080000");
    generic("ab", "448000");
    opt_.AudioSampleRate = 48000;
    if (opt_.AudioChannels == 1) opt_.AudioChannels = 2;
  } else {  // dv, dv50
    ParseOption("f", "dv");
    ParseOption("s", pal ? "720x576" : "720x480");
    ParseOption("pix_fmt", target == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    ParseOption("r", kNormFrameRates[n]);
    opt_.AudioSampleRate = 48000;
    opt_.AudioChannels = 2;
  }

  opt_.TargetApplied = true;

  if ((target == "vcd" || target == "svcd") && opt_.FrameAspectRatio == 0) {
    Log(this, llInfo, "Assuming 4:3 for aspect ratio");
    ParseOption("aspect", "4:3");
  } else if (target == "dvd" && opt_.FrameAspectRatio == 0) {
    Log(this, llInfo, "Assuming 16:9 for aspect ratio");
    ParseOption("aspect", "16:9");
  }
}

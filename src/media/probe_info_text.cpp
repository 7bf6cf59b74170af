// The probe's readable description of a loaded file.
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "media/av_probe.h"
#include "media/display_rotation.h"
#include "media/ffmpeg_loader.h"
#include "media/library_tables.h"
#include "media/media_text.h"
#include "media/probe_text.h"
#include "media/wide_protocol.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n < 0) return std::string();
  return std::string(buf, size_t(n) < sizeof buf ? size_t(n) : sizeof buf - 1);
}

const AVDictionaryEntry* FirstEntry(const AVDictionary* m, const char* key, const char* otherKey) {
  const AVDictionaryEntry* e = lib::av_dict_get(m, key, nullptr, 0);
  return e ? e : lib::av_dict_get(m, otherKey, nullptr, 0);
}

bool Usable(AVRational r) { return r.num != 0 && r.den != 0; }

// Today's decoders keep no time base of their own after the stream-info
// search, so the codec time base is rebuilt the way the decoders used to
// report it: one tick per frame of the stream's frame rate, or per field for
// codecs that count in fields (the decoder's ticks_per_frame, which opening
// it sets: 2 for H.264; decoders that learn it only from the stream, such
// as MPEG-2, stay at 1). {0, 1} when the frame rate is unknown.
AVRational CodecTimeBase(const AVStream* st) {
  AVRational rate = Usable(st->avg_frame_rate) ? st->avg_frame_rate : st->r_frame_rate;
  if (!Usable(rate) || rate.num < 0 || rate.den < 0) return AVRational{0, 1};

  int ticks = 1;
  const AVCodec* decoder = lib::avcodec_find_decoder(st->codecpar->codec_id);
  if (decoder) {
    AVCodecContext* dc = lib::avcodec_alloc_context3(decoder);
    if (dc && lib::avcodec_parameters_to_context(dc, st->codecpar) >= 0) {
      dc->thread_count = 1;
      int opened;
      {
        std::lock_guard<std::mutex> guard(CodecLock());
        opened = lib::avcodec_open2(dc, decoder, nullptr);
      }
      if (opened >= 0 && dc->ticks_per_frame > 1) ticks = dc->ticks_per_frame;
    }
    if (dc) {
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&dc);
    }
  }
  int64_t num = int64_t(rate.num) * ticks;
  if (num > INT32_MAX) return AVRational{0, 1};
  return AVRational{rate.den, int(num)};
}

// The codec library's one-line description of the stream's parameters and
// the parameters' sample aspect ratio.
std::string CodecLine(const AVStream* st) {
  char buf[256] = {0};
  AVCodecContext* cc = lib::avcodec_alloc_context3(nullptr);
  if (!cc) return std::string();
  if (lib::avcodec_parameters_to_context(cc, st->codecpar) >= 0) lib::avcodec_string(buf, sizeof buf, cc, 0);
  lib::avcodec_free_context(&cc);  // never opened: nothing to guard
  buf[sizeof buf - 1] = '\0';
  return buf;
}

}  // namespace

std::string TCustomAVProbe::MetadataBlock(const AVDictionary* metadata, const std::string& prefix) const {
  std::vector<const AVDictionaryEntry*> entries;
  const AVDictionaryEntry* e = nullptr;
  while ((e = lib::av_dict_get(metadata, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
    if (std::string(e->key) != "language") entries.push_back(e);
  }
  // A header with nothing under it says nothing: "language" alone (it is
  // shown in the stream line) prints no block.
  if (entries.empty()) return std::string();
  std::string text = prefix + "Metadata:" + kLineEnd;
  for (const AVDictionaryEntry* entry : entries) {
    text += prefix + Format("  %-16s: ", probetext::TranslateMetadataKey(entry->key)) + entry->value + kLineEnd;
  }
  return text;
}

std::string TCustomAVProbe::StreamLine(unsigned index) const {
  const AVFormatContext* ic = formatContext_;
  const AVStream* st = ic->streams[index];
  std::string line = Format("Stream #%u", index);
  if (ic->iformat && (ic->iformat->flags & AVFMT_SHOW_IDS)) line += Format("[0x%x]", unsigned(st->id));
  if (const AVDictionaryEntry* lang = lib::av_dict_get(st->metadata, "language", nullptr, 0))
    line += std::string("(") + lang->value + ")";

  int g = int(lib::av_gcd(st->time_base.num, st->time_base.den));
  if (g == 0) g = 1;
  line += Format(", %d/%d", st->time_base.num / g, st->time_base.den / g);
  line += ": " + CodecLine(st);

  const AVCodecParameters* par = st->codecpar;
  if (st->sample_aspect_ratio.num != 0 && av_cmp_q(st->sample_aspect_ratio, par->sample_aspect_ratio) != 0) {
    int dn = 0, dd = 0;
    lib::av_reduce(&dn, &dd, int64_t(par->width) * st->sample_aspect_ratio.num,
                   int64_t(par->height) * st->sample_aspect_ratio.den, 1024 * 1024);
    line += Format(", PAR %d:%d DAR %d:%d", st->sample_aspect_ratio.num, st->sample_aspect_ratio.den, dn, dd);
  }

  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (Usable(st->avg_frame_rate)) line += probetext::RateText(av_q2d(st->avg_frame_rate), "fps");
    if (Usable(st->r_frame_rate)) line += probetext::RateText(av_q2d(st->r_frame_rate), "tbr");
    if (Usable(st->time_base)) line += probetext::RateText(1 / av_q2d(st->time_base), "tbn");
    AVRational codecTimeBase = CodecTimeBase(st);
    if (Usable(codecTimeBase)) line += probetext::RateText(1 / av_q2d(codecTimeBase), "tbc");
  }

  AVRational tb = st->time_base;
  if (tb.den == 0) tb.den = tb.num != 0 ? tb.num : 1;
  if (st->start_time != AV_NOPTS_VALUE)
    line += ", StartTime: " + probetext::SecondsText(lib::av_rescale_q(st->start_time, tb, AV_TIME_BASE_Q));
  if (st->duration != AV_NOPTS_VALUE)
    line += ", Duration: " + DurationText(lib::av_rescale_q(st->duration, tb, AV_TIME_BASE_Q));
  else
    line += ", Duration: N/A";
  // A recorded turn (phone videos) is part of how the stream looks.
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (const int rotation = StreamDisplayRotation(st)) line += Format(", Rotation: %d", rotation);
  }
  return line;
}

std::string TCustomAVProbe::InfoText() {
  if (!formatContext_) {
    ReportError(AV_LOG_WARNING, "file not loaded.");
    return std::string();
  }
  const AVFormatContext* ic = formatContext_;
  TFileStreamInfo file = FileStreamInfo();

  std::string text;
  text += "File Name: " + Utf8(FileName()) + kLineEnd;
  text += "Format Name: " + FormatName() + kLineEnd;
  text += "Format Long Name: " + FormatLongName() + kLineEnd;
  text += "File Size: " + SizeText(fileSize_) + kLineEnd;
  if (file.Duration >= 0)
    text += "Duration: " + DurationText(file.Duration) + kLineEnd;
  else
    text += std::string("Duration: N/A") + kLineEnd;
  if (file.StartTime >= 0) text += "StartTime: " + probetext::SecondsText(file.StartTime) + kLineEnd;
  if (file.BitRate >= 1)
    text += Format("Bit Rate: %d kb/s", file.BitRate / 1000) + kLineEnd;
  else
    text += std::string("Bit Rate: N/A") + kLineEnd;
  if (file.TimeStamp > 0) text += "Time Stamp: " + DateTimeText("%Y-%m-%d %H:%M:%S", LocalDateTime(file.TimeStamp)) + kLineEnd;
  text += MetadataBlock(ic->metadata, "");

  std::vector<bool> printed(ic->nb_streams, false);
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    const AVProgram* program = ic->programs[p];
    // Today's demuxers name these "service_provider" and "service_name".
    const AVDictionaryEntry* provider = FirstEntry(program->metadata, "provider_name", "service_provider");
    const AVDictionaryEntry* name = FirstEntry(program->metadata, "name", "service_name");
    text += "Program " + std::to_string(program->id) + " " + (provider ? provider->value : "N/A") + "@" +
            (name ? name->value : "N/A") + kLineEnd;
    text += MetadataBlock(program->metadata, "  ");
    for (unsigned k = 0; k < program->nb_stream_indexes; ++k) {
      unsigned s = program->stream_index[k];
      if (s >= ic->nb_streams) continue;
      text += StreamLine(s) + kLineEnd;
      text += MetadataBlock(ic->streams[s]->metadata, "  ");
      printed[s] = true;
    }
  }
  for (unsigned s = 0; s < ic->nb_streams; ++s) {
    if (printed[s]) continue;
    text += StreamLine(s) + kLineEnd;
    text += MetadataBlock(ic->streams[s]->metadata, "  ");
  }
  return text;
}

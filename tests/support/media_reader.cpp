#include "support/media_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>

#include "media/display_rotation.h"
#include "media/ffmpeg_loader.h"
#include "support/media_libraries.h"

namespace testsupport {
namespace {

constexpr AVRational kMicroseconds{1, 1000000};

std::string TagText(uint32_t tag) {
  if (tag == 0) return std::string();
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = char((tag >> (8 * i)) & 0xFF);
    if (!std::isprint(static_cast<unsigned char>(c))) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08x", tag);
      return hex;
    }
    text += c;
  }
  return text;
}

bool EnsureLibraries(std::string* error) {
  LoadConverterLibraries();
  if (FFLoader().LibrariesLoaded(kConverterLibraries)) return true;
  if (error) *error = "the media libraries are not loaded (" + FFLoader().LastError() + ")";
  return false;
}

// Owns an opened input and, optionally, a decoder of one of its streams.
struct Input {
  AVFormatContext* format = nullptr;
  AVCodecContext* decoder = nullptr;
  int streamIndex = -1;
  ~Input() {
    if (decoder) {
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&decoder);
    }
    if (format) lib::avformat_close_input(&format);
  }

  // Opens path and its first stream of type with a decoder.
  bool Open(const std::string& path, AVMediaType type) {
    if (!EnsureLibraries(nullptr)) return false;
    if (lib::avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    if (lib::avformat_find_stream_info(format, nullptr) < 0) return false;
    streamIndex = lib::av_find_best_stream(format, type, -1, -1, nullptr, 0);
    if (streamIndex < 0) return false;
    const AVCodecParameters* par = format->streams[streamIndex]->codecpar;
    const AVCodec* codec = lib::avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    decoder = lib::avcodec_alloc_context3(codec);
    if (!decoder || lib::avcodec_parameters_to_context(decoder, par) < 0) return false;
    decoder->thread_count = 1;
    decoder->pkt_timebase = format->streams[streamIndex]->time_base;
    std::lock_guard<std::mutex> guard(CodecLock());
    return lib::avcodec_open2(decoder, codec, nullptr) >= 0;
  }

  // Feeds packets of the chosen stream to the decoder and hands every
  // decoded frame to sink until it returns false or the input ends.
  template <typename Sink>
  void Decode(Sink sink) {
    AVPacket* packet = lib::av_packet_alloc();
    AVFrame* frame = lib::av_frame_alloc();
    bool more = packet && frame;
    while (more) {
      const bool atEnd = lib::av_read_frame(format, packet) < 0;
      if (atEnd) {
        lib::avcodec_send_packet(decoder, nullptr);
      } else {
        if (packet->stream_index == streamIndex) lib::avcodec_send_packet(decoder, packet);
        lib::av_packet_unref(packet);
      }
      while (more && lib::avcodec_receive_frame(decoder, frame) >= 0) {
        more = sink(frame);
        lib::av_frame_unref(frame);
      }
      // After the flush the decoder reports its end; stop there in any case.
      if (atEnd) more = false;
    }
    lib::av_frame_free(&frame);
    lib::av_packet_free(&packet);
  }
};

}  // namespace

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  if (!lib::av_strerror || lib::av_strerror(code, text, sizeof text) < 0)
    std::snprintf(text, sizeof text, "error %d", code);
  return text;
}

int64_t MediaSummary::videoFrames() const {
  const StreamSummary* s = first(AVMEDIA_TYPE_VIDEO);
  return s ? s->packets : 0;
}

const StreamSummary* MediaSummary::first(AVMediaType type) const {
  for (const StreamSummary& s : streams)
    if (s.type == type) return &s;
  return nullptr;
}

int MediaSummary::count(AVMediaType type) const {
  return int(std::count_if(streams.begin(), streams.end(),
                           [type](const StreamSummary& s) { return s.type == type; }));
}

MediaSummary ReadMedia(const std::string& path) {
  MediaSummary summary;
  std::string why;
  if (!EnsureLibraries(&why)) {
    summary.error = "Cannot read '" + path + "': " + why;
    return summary;
  }
  Input input;
  int ret = lib::avformat_open_input(&input.format, path.c_str(), nullptr, nullptr);
  if (ret < 0) {
    summary.error = "Cannot open '" + path + "': " + AvErrorText(ret);
    return summary;
  }
  ret = lib::avformat_find_stream_info(input.format, nullptr);
  if (ret < 0) {
    summary.error = "Cannot find the streams of '" + path + "': " + AvErrorText(ret);
    return summary;
  }
  AVFormatContext* ic = input.format;
  summary.format = ic->iformat->name;
  summary.formatDurationUs = ic->duration;
  const AVDictionaryEntry* tag = nullptr;
  while ((tag = lib::av_dict_get(ic->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
    summary.metadata[tag->key] = tag->value;

  struct Timing {
    int64_t first = AV_NOPTS_VALUE, end = AV_NOPTS_VALUE, lastDts = AV_NOPTS_VALUE, maxGap = 0;
  };
  std::vector<Timing> timing(ic->nb_streams);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVStream* st = ic->streams[i];
    const AVCodecParameters* par = st->codecpar;
    StreamSummary s;
    s.type = par->codec_type;
    s.codec = lib::avcodec_get_name(par->codec_id);
    s.width = par->width;
    s.height = par->height;
    s.avgFrameRate = st->avg_frame_rate;
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.tag = TagText(par->codec_tag);
    s.bitRate = par->bit_rate;
    if (s.type == AVMEDIA_TYPE_VIDEO && par->format >= 0)
      s.pixelFormat = lib::av_get_pix_fmt_name(AVPixelFormat(par->format));
    if (s.type == AVMEDIA_TYPE_AUDIO && par->format >= 0)
      s.sampleFormat = lib::av_get_sample_fmt_name(AVSampleFormat(par->format));
    s.startUs = AV_NOPTS_VALUE;
    if (const AVDictionaryEntry* e = lib::av_dict_get(st->metadata, "language", nullptr, 0))
      s.language = e->value;
    s.rotation = StreamDisplayRotation(st);
    s.attachedPicture = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
    summary.streams.push_back(s);
  }

  AVPacket* packet = lib::av_packet_alloc();
  if (!packet) {
    summary.error = "Out of memory";
    return summary;
  }
  while ((ret = lib::av_read_frame(ic, packet)) >= 0) {
    const int index = packet->stream_index;
    if (index >= 0 && index < int(summary.streams.size())) {
      StreamSummary& s = summary.streams[index];
      Timing& t = timing[index];
      const AVRational tb = ic->streams[index]->time_base;
      s.packets++;
      s.bytes += packet->size;
      if (packet->flags & AV_PKT_FLAG_KEY) s.keyPackets++;
      if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE && packet->pts != packet->dts)
        s.reorderedPackets++;
      const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (ts != AV_NOPTS_VALUE) {
        const int64_t us = lib::av_rescale_q(ts, tb, kMicroseconds);
        const int64_t end = lib::av_rescale_q(ts + std::max<int64_t>(0, packet->duration), tb, kMicroseconds);
        if (t.first == AV_NOPTS_VALUE || us < t.first) t.first = us;
        if (t.end == AV_NOPTS_VALUE || end > t.end) t.end = end;
      }
      if (packet->dts != AV_NOPTS_VALUE) {
        const int64_t dts = lib::av_rescale_q(packet->dts, tb, kMicroseconds);
        if (t.lastDts != AV_NOPTS_VALUE) t.maxGap = std::max(t.maxGap, dts - t.lastDts);
        t.lastDts = dts;
      }
    }
    lib::av_packet_unref(packet);
  }
  lib::av_packet_free(&packet);
  if (ret != AVERROR_EOF) {
    summary.error = "Reading '" + path + "' stopped early: " + AvErrorText(ret);
    return summary;
  }

  for (size_t i = 0; i < summary.streams.size(); ++i) {
    StreamSummary& s = summary.streams[i];
    const Timing& t = timing[i];
    const AVStream* st = ic->streams[i];
    if (t.first != AV_NOPTS_VALUE) {
      s.startUs = t.first;
      s.durationUs = t.end - t.first;
    } else if (st->duration != AV_NOPTS_VALUE) {
      s.durationUs = lib::av_rescale_q(st->duration, st->time_base, kMicroseconds);
    }
    s.maxGapUs = t.maxGap;
    summary.durationUs = std::max(summary.durationUs, s.durationUs);
  }
  if (summary.durationUs == 0 && ic->duration != AV_NOPTS_VALUE) summary.durationUs = ic->duration;
  summary.ok = true;
  return summary;
}

std::vector<std::vector<uint8_t>> DecodeVideoFrames(const std::string& path, int count, int* width,
                                                    int* height, AVPixelFormat format) {
  std::vector<std::vector<uint8_t>> frames;
  if (width) *width = 0;
  if (height) *height = 0;
  Input input;
  if (count <= 0 || !input.Open(path, AVMEDIA_TYPE_VIDEO)) return frames;
  SwsContext* scaler = nullptr;
  input.Decode([&](AVFrame* frame) {
    scaler = lib::sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                       frame->width, frame->height, format, SWS_BILINEAR, nullptr, nullptr,
                                       nullptr);
    if (!scaler) return false;
    int linesize[4] = {0};
    if (lib::av_image_fill_linesizes(linesize, format, frame->width) < 0) return false;
    std::vector<uint8_t> picture(size_t(linesize[0]) * frame->height);
    uint8_t* planes[4] = {picture.data(), nullptr, nullptr, nullptr};
    lib::sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, linesize);
    if (width) *width = frame->width;
    if (height) *height = frame->height;
    frames.push_back(std::move(picture));
    return int(frames.size()) < count;
  });
  if (scaler) lib::sws_freeContext(scaler);
  return frames;
}

std::vector<float> DecodeAudioSamples(const std::string& path, double maxSeconds, int* channels,
                                      int* sampleRate) {
  std::vector<float> samples;
  if (channels) *channels = 0;
  if (sampleRate) *sampleRate = 0;
  Input input;
  if (!input.Open(path, AVMEDIA_TYPE_AUDIO)) return samples;
  SwrContext* resampler = nullptr;
  const int rate = input.decoder->sample_rate;
  const int n = input.decoder->ch_layout.nb_channels;
  const size_t limit = size_t(std::max(0.0, maxSeconds) * rate) * size_t(n);
  if (n <= 0 || rate <= 0) return samples;
  int ret = lib::swr_alloc_set_opts2(&resampler, &input.decoder->ch_layout, AV_SAMPLE_FMT_FLT, rate,
                                     &input.decoder->ch_layout, input.decoder->sample_fmt, rate, 0, nullptr);
  if (ret < 0 || lib::swr_init(resampler) < 0) {
    lib::swr_free(&resampler);
    return samples;
  }
  if (channels) *channels = n;
  if (sampleRate) *sampleRate = rate;
  input.Decode([&](AVFrame* frame) {
    const size_t start = samples.size();
    samples.resize(start + size_t(frame->nb_samples) * n);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data() + start)};
    int got = lib::swr_convert(resampler, out, frame->nb_samples,
                               const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    samples.resize(start + size_t(std::max(0, got)) * n);
    if (samples.size() >= limit) {
      samples.resize(limit);
      return false;
    }
    return true;
  });
  lib::swr_free(&resampler);
  return samples;
}

std::vector<SubtitleEvent> DecodeSubtitles(const std::string& path) {
  std::vector<SubtitleEvent> events;
  Input input;
  if (!input.Open(path, AVMEDIA_TYPE_SUBTITLE)) return events;
  const AVRational tb = input.format->streams[input.streamIndex]->time_base;
  AVPacket* packet = lib::av_packet_alloc();
  if (!packet) return events;
  while (lib::av_read_frame(input.format, packet) >= 0) {
    if (packet->stream_index == input.streamIndex) {
      AVSubtitle sub{};
      int got = 0;
      if (lib::avcodec_decode_subtitle2(input.decoder, &sub, &got, packet) >= 0 && got) {
        SubtitleEvent e;
        const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const int64_t base = ts != AV_NOPTS_VALUE ? lib::av_rescale_q(ts, tb, kMicroseconds) : 0;
        e.startUs = base + int64_t(sub.start_display_time) * 1000;
        e.endUs = sub.end_display_time != UINT32_MAX ? base + int64_t(sub.end_display_time) * 1000
                  : packet->duration > 0 ? base + lib::av_rescale_q(packet->duration, tb, kMicroseconds)
                                         : e.startUs;
        for (unsigned i = 0; i < sub.num_rects; ++i) {
          const AVSubtitleRect* r = sub.rects[i];
          if (r->type == SUBTITLE_BITMAP && !e.bitmap) {
            e.bitmap = true;
            e.x = r->x, e.y = r->y, e.width = r->w, e.height = r->h, e.colours = r->nb_colors;
          } else if (r->type == SUBTITLE_ASS && r->ass) {
            e.text += (e.text.empty() ? "" : "\n") + std::string(r->ass);
          } else if (r->type == SUBTITLE_TEXT && r->text) {
            e.text += (e.text.empty() ? "" : "\n") + std::string(r->text);
          }
        }
        events.push_back(e);
        lib::avsubtitle_free(&sub);
      }
    }
    lib::av_packet_unref(packet);
  }
  lib::av_packet_free(&packet);
  return events;
}

}  // namespace testsupport

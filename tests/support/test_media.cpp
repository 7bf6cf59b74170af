#include "support/test_media.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <unistd.h>

#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"
#include "support/media_libraries.h"

namespace testsupport {
namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr int kDefaultAudioFrameSamples = 1024;
constexpr double kToneAmplitude = 0.5;
constexpr int kSubtitleEvents = 3;

constexpr const char* kAssHeader =
    "[Script Info]\r\n"
    "ScriptType: v4.00+\r\n"
    "PlayResX: 384\r\n"
    "PlayResY: 288\r\n"
    "\r\n"
    "[V4+ Styles]\r\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
    "Italic, "
    "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
    "MarginR, MarginV, Encoding\r\n"
    "Style: Default,Arial,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\r\n"
    "\r\n"
    "[Events]\r\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";

// One encoded stream of the file being written.
struct Track {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVStream* stream = nullptr;
  AVCodecContext* encoder = nullptr;
  AVFrame* frame = nullptr;     // in the encoder's format
  AVFrame* yuvFrame = nullptr;  // pattern source when the encoder takes another pixel format
  SwsContext* scaler = nullptr;
  int64_t nextPts = 0;          // source time in the encoder's time base, before any jump
  int64_t endPts = 0;           // source end in the same units
  int frameSamples = 0;         // audio samples per frame
  bool shortLastFrame = false;  // the encoder takes a smaller last frame
  double toneHz = 440.0;
  int subtitleIndex = 0;      // next subtitle event
  bool textSubtitle = false;  // events are text (ASS lines) rather than bitmaps
  bool flushed = false;

  ~Track() {
    if (scaler) lib::sws_freeContext(scaler);
    lib::av_frame_free(&yuvFrame);
    lib::av_frame_free(&frame);
    if (encoder) {
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&encoder);
    }
  }
};

class Writer {
 public:
  Writer(const std::string& path, const MediaSpec& spec) : path_(path), spec_(spec) {}
  ~Writer() {
    lib::av_packet_free(&packet_);
    tracks_.clear();
    if (output_) {
      if (output_->pb && !(output_->oformat->flags & AVFMT_NOFILE)) lib::avio_closep(&output_->pb);
      lib::avformat_free_context(output_);
    }
  }

  bool Run() {
    if (spec_.seconds <= 0) return Fail("the duration must be positive");
    if (spec_.videoCodec.empty() && spec_.audioCodecs.empty() && !spec_.bitmapSubtitle &&
        spec_.textSubtitleCodec.empty())
      return Fail("the file would have no streams");
    const char* container = spec_.container.empty() ? nullptr : spec_.container.c_str();
    int ret = lib::avformat_alloc_output_context2(&output_, nullptr, container, path_.c_str());
    if (ret < 0 || !output_) {
      if (!container) return Fail("no container given and none known for the file name", ret);
      return Fail("unknown container '" + spec_.container + "'", ret);
    }
    packet_ = lib::av_packet_alloc();
    if (!packet_) return Fail("out of memory");
    if (!spec_.videoCodec.empty() && !AddVideo()) return false;
    if (spec_.coverPicture && !AddCover()) return false;
    for (size_t i = 0; i < spec_.audioCodecs.size(); ++i)
      if (!AddAudio(spec_.audioCodecs[i], 440.0 + 220.0 * double(i))) return false;
    if (spec_.bitmapSubtitle && !AddSubtitle("")) return false;
    if (!spec_.textSubtitleCodec.empty() && !AddSubtitle(spec_.textSubtitleCodec)) return false;
    for (const auto& [key, value] : spec_.metadata)
      lib::av_dict_set(&output_->metadata, key.c_str(), value.c_str(), 0);

    if (!(output_->oformat->flags & AVFMT_NOFILE)) {
      ret = lib::avio_open(&output_->pb, path_.c_str(), AVIO_FLAG_WRITE);
      if (ret < 0) return Fail("cannot create the file", ret);
    }
    ret = lib::avformat_write_header(output_, nullptr);
    if (ret < 0)
      return Fail(std::string("the '") + output_->oformat->name + "' muxer refused the streams", ret);
    if (cover_ && !WritePacket(*cover_, cover_->encoder->time_base)) return false;

    while (Track* t = NextTrack()) {
      if (!Step(*t)) return false;
    }
    ret = lib::av_write_trailer(output_);
    if (ret < 0) return Fail("cannot finish the file", ret);
    ret = lib::avio_closep(&output_->pb);
    if (ret < 0) return Fail("cannot close the file", ret);
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& what, int code = 0) {
    if (error_.empty()) {
      error_ = "Cannot write '" + path_ + "': " + what;
      if (code < 0) error_ += " (" + AvErrorText(code) + ")";
    }
    return false;
  }

  // Source time (µs) at which the timestamps jump, as a shift for a time in tb.
  int64_t JumpFor(int64_t sourcePts, AVRational tb) const {
    if (spec_.timestampJumpAt < 0) return 0;
    if (lib::av_rescale_q(sourcePts, tb, kMicroseconds) < spec_.timestampJumpAt) return 0;
    return lib::av_rescale_q(spec_.timestampJump, kMicroseconds, tb);
  }

  const AVCodec* FindEncoder(const std::string& name, AVMediaType type) {
    const AVCodec* codec = lib::avcodec_find_encoder_by_name(name.c_str());
    if (!codec) {
      Fail("encoder '" + name + "' is not available in the installed libraries");
      return nullptr;
    }
    if (codec->type != type) {
      Fail("'" + name + "' is not a " + lib::av_get_media_type_string(type) + " encoder");
      return nullptr;
    }
    return codec;
  }

  bool OpenEncoder(Track& t, const AVCodec* codec, AVDictionary** options) {
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) t.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int ret;
    {
      std::lock_guard<std::mutex> guard(CodecLock());
      ret = lib::avcodec_open2(t.encoder, codec, options);
    }
    lib::av_dict_free(options);
    if (ret < 0) return Fail(std::string("cannot open encoder '") + codec->name + "'", ret);
    t.stream = lib::avformat_new_stream(output_, nullptr);
    if (!t.stream) return Fail("out of memory");
    ret = lib::avcodec_parameters_from_context(t.stream->codecpar, t.encoder);
    if (ret < 0) return Fail("cannot copy the encoder parameters", ret);
    t.stream->time_base = t.encoder->time_base;
    return true;
  }

  bool AddVideo() {
    const AVCodec* codec = FindEncoder(spec_.videoCodec, AVMEDIA_TYPE_VIDEO);
    if (!codec) return false;
    if (spec_.width <= 0 || spec_.height <= 0 || spec_.frameRate.num <= 0 || spec_.frameRate.den <= 0)
      return Fail("invalid picture size or frame rate");
    auto t = std::make_unique<Track>();
    t->type = AVMEDIA_TYPE_VIDEO;
    t->encoder = lib::avcodec_alloc_context3(codec);
    if (!t->encoder) return Fail("out of memory");
    AVCodecContext* c = t->encoder;
    c->width = spec_.width;
    c->height = spec_.height;
    c->time_base = AVRational{spec_.frameRate.den, spec_.frameRate.num};
    c->framerate = spec_.frameRate;
    c->sample_aspect_ratio = AVRational{1, 1};
    c->gop_size = spec_.gopSize;
    c->thread_count = 1;
    if (spec_.videoBitRate > 0) c->bit_rate = spec_.videoBitRate;
    c->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (!spec_.pixelFormat.empty()) {
      c->pix_fmt = lib::av_get_pix_fmt(spec_.pixelFormat.c_str());
      if (c->pix_fmt == AV_PIX_FMT_NONE) return Fail("unknown pixel format '" + spec_.pixelFormat + "'");
    }
    c->max_b_frames = std::max(0, spec_.maxBFrames);
    if (spec_.interlaced) {
      c->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
      c->field_order = AV_FIELD_TT;
    }
    if (c->pix_fmt == AV_PIX_FMT_YUVJ420P || c->pix_fmt == AV_PIX_FMT_YUVJ422P ||
        c->pix_fmt == AV_PIX_FMT_YUVJ444P)
      c->color_range = AVCOL_RANGE_JPEG;
    if (!spec_.videoTag.empty()) {
      if (spec_.videoTag.size() != 4) return Fail("the video tag must have four characters");
      const std::string& g = spec_.videoTag;
      c->codec_tag = MKTAG(g[0], g[1], g[2], g[3]);
    }
    AVDictionary* options = nullptr;
    if (std::string(codec->name) == "libx264") {
      // Fast and free of reordering, so timestamps stay simple for tests.
      lib::av_dict_set(&options, "preset", "ultrafast", 0);
    }
    if (!OpenEncoder(*t, codec, &options)) return false;
    if (spec_.rotation != 0 && !RecordRotation(t->stream)) return false;
    t->stream->avg_frame_rate = spec_.frameRate;
    t->stream->r_frame_rate = spec_.frameRate;
    if (c->codec_tag) t->stream->codecpar->codec_tag = c->codec_tag;

    t->endPts = std::max<int64_t>(1, std::llround(spec_.seconds * spec_.frameRate.num / spec_.frameRate.den));
    t->frame = AllocPicture(c->pix_fmt);
    if (!t->frame) return Fail("cannot allocate a picture");
    if (!IsPlanarYuv8(c->pix_fmt)) {
      t->yuvFrame = AllocPicture(AV_PIX_FMT_YUV420P);
      t->scaler = lib::sws_getContext(spec_.width, spec_.height, AV_PIX_FMT_YUV420P, spec_.width,
                                      spec_.height, c->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
      if (!t->yuvFrame || !t->scaler)
        return Fail(std::string("cannot convert pictures to ") + lib::av_get_pix_fmt_name(c->pix_fmt));
    }
    tracks_.push_back(std::move(t));
    return true;
  }

  // The display matrix of a clockwise turn by spec_.rotation degrees.
  bool RecordRotation(AVStream* stream) {
    int32_t matrix[9];
    lib::av_display_rotation_set(matrix, double(spec_.rotation));
    uint8_t* data = lib::av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof matrix);
    if (!data) return Fail("out of memory");
    std::memcpy(data, matrix, sizeof matrix);
    return true;
  }

  // One MJPEG picture as the file's cover; its packet is written right
  // after the header.
  bool AddCover() {
    const AVCodec* codec = FindEncoder("mjpeg", AVMEDIA_TYPE_VIDEO);
    if (!codec) return false;
    auto t = std::make_unique<Track>();
    t->type = AVMEDIA_TYPE_VIDEO;
    t->flushed = true;  // nothing to step through
    t->encoder = lib::avcodec_alloc_context3(codec);
    if (!t->encoder) return Fail("out of memory");
    AVCodecContext* c = t->encoder;
    c->width = spec_.width;
    c->height = spec_.height;
    c->time_base = AVRational{1, 25};
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c->color_range = AVCOL_RANGE_JPEG;
    AVDictionary* options = nullptr;
    if (!OpenEncoder(*t, codec, &options)) return false;
    t->stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    t->frame = AllocPicture(c->pix_fmt);
    if (!t->frame) return Fail("cannot allocate a picture");
    DrawPattern(t->frame, 0);
    t->frame->pts = 0;
    int ret = lib::avcodec_send_frame(c, t->frame);
    if (ret >= 0) ret = lib::avcodec_send_frame(c, nullptr);
    if (ret >= 0) ret = lib::avcodec_receive_packet(c, packet_);
    if (ret < 0) return Fail("cannot encode the cover picture", ret);
    packet_->flags |= AV_PKT_FLAG_KEY;
    cover_ = t.get();
    tracks_.push_back(std::move(t));
    return true;
  }

  bool AddAudio(const std::string& name, double toneHz) {
    const AVCodec* codec = FindEncoder(name, AVMEDIA_TYPE_AUDIO);
    if (!codec) return false;
    if (spec_.sampleRate <= 0 || spec_.channels <= 0) return Fail("invalid sample rate or channel count");
    auto t = std::make_unique<Track>();
    t->type = AVMEDIA_TYPE_AUDIO;
    t->toneHz = toneHz;
    t->encoder = lib::avcodec_alloc_context3(codec);
    if (!t->encoder) return Fail("out of memory");
    AVCodecContext* c = t->encoder;
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->sample_rate = spec_.sampleRate;
    if (codec->supported_samplerates) {
      int best = codec->supported_samplerates[0];
      for (const int* r = codec->supported_samplerates; *r; ++r)
        if (std::abs(*r - spec_.sampleRate) < std::abs(best - spec_.sampleRate)) best = *r;
      c->sample_rate = best;
    }
    lib::av_channel_layout_default(&c->ch_layout, spec_.channels);
    if (codec->ch_layouts) {
      // The encoder's own layout of that many channels (5.1 is not the same 5.1 everywhere).
      bool found = false;
      for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels && !found; ++l) {
        if (l->nb_channels == spec_.channels) {
          lib::av_channel_layout_copy(&c->ch_layout, l);
          found = true;
        }
      }
      if (!found)
        return Fail("encoder '" + name + "' cannot take " + std::to_string(spec_.channels) + " channels");
    }
    c->time_base = AVRational{1, c->sample_rate};
    c->thread_count = 1;
    AVDictionary* options = nullptr;
    if (!OpenEncoder(*t, codec, &options)) return false;
    const size_t audioIndex = AudioTrackCount();
    if (audioIndex < spec_.audioLanguages.size() && !spec_.audioLanguages[audioIndex].empty())
      lib::av_dict_set(&t->stream->metadata, "language", spec_.audioLanguages[audioIndex].c_str(), 0);

    const bool variable = codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    t->frameSamples = (c->frame_size > 0 && !variable) ? c->frame_size : kDefaultAudioFrameSamples;
    t->shortLastFrame =
        variable || c->frame_size <= 0 || (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    t->endPts = std::max<int64_t>(1, std::llround(spec_.seconds * c->sample_rate));
    t->frame = lib::av_frame_alloc();
    if (!t->frame) return Fail("out of memory");
    t->frame->format = c->sample_fmt;
    t->frame->sample_rate = c->sample_rate;
    t->frame->nb_samples = t->frameSamples;
    lib::av_channel_layout_copy(&t->frame->ch_layout, &c->ch_layout);
    int ret = lib::av_frame_get_buffer(t->frame, 0);
    if (ret < 0) return Fail("cannot allocate an audio frame", ret);
    tracks_.push_back(std::move(t));
    return true;
  }

  size_t AudioTrackCount() const {
    return size_t(std::count_if(tracks_.begin(), tracks_.end(),
                                [](const auto& t) { return t->type == AVMEDIA_TYPE_AUDIO; }));
  }

  // A bitmap (dvd_subtitle) stream when textCodec is empty, else a text
  // stream with that encoder.
  bool AddSubtitle(const std::string& textCodec) {
    const AVCodec* codec = nullptr;
    if (textCodec.empty()) {
      codec = lib::avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
      if (!codec) return Fail("the dvd_subtitle encoder is not available in the installed libraries");
    } else {
      codec = FindEncoder(textCodec, AVMEDIA_TYPE_SUBTITLE);
      if (!codec) return false;
    }
    auto t = std::make_unique<Track>();
    t->type = AVMEDIA_TYPE_SUBTITLE;
    t->textSubtitle = !textCodec.empty();
    t->encoder = lib::avcodec_alloc_context3(codec);
    if (!t->encoder) return Fail("out of memory");
    t->encoder->time_base = AVRational{1, 1000};
    t->encoder->width = spec_.width;
    t->encoder->height = spec_.height;
    if (t->textSubtitle) {
      // Text encoders read their events as ASS lines against this header.
      const size_t size = std::strlen(kAssHeader);
      t->encoder->subtitle_header = static_cast<uint8_t*>(lib::av_mallocz(size + 1));
      if (!t->encoder->subtitle_header) return Fail("out of memory");
      std::memcpy(t->encoder->subtitle_header, kAssHeader, size);
      t->encoder->subtitle_header_size = int(size);
    }
    AVDictionary* options = nullptr;
    if (!OpenEncoder(*t, codec, &options)) return false;
    t->endPts = kSubtitleEvents;
    tracks_.push_back(std::move(t));
    return true;
  }

  AVFrame* AllocPicture(AVPixelFormat format) {
    AVFrame* f = lib::av_frame_alloc();
    if (!f) return nullptr;
    f->format = format;
    f->width = spec_.width;
    f->height = spec_.height;
    if (lib::av_frame_get_buffer(f, 0) < 0) lib::av_frame_free(&f);
    return f;
  }

  static bool IsPlanarYuv8(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = lib::av_pix_fmt_desc_get(format);
    return d && d->nb_components == 3 && !(d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) &&
           (d->flags & AV_PIX_FMT_FLAG_PLANAR) && d->comp[0].depth == 8 && d->comp[1].plane == 1 &&
           d->comp[2].plane == 2;
  }

  // Source start (µs) of subtitle event i.
  int64_t SubtitleStartUs(int i) const { return int64_t(spec_.seconds * 1e6 * i / kSubtitleEvents) + 100000; }
  int64_t SubtitleLengthUs() const {
    return std::max<int64_t>(
        100000, std::min<int64_t>(500000, int64_t(spec_.seconds * 1e6 / kSubtitleEvents) - 200000));
  }

  // Source time (µs) of the next thing a track produces.
  int64_t NextTimeUs(const Track& t) const {
    if (t.type == AVMEDIA_TYPE_SUBTITLE) return SubtitleStartUs(t.subtitleIndex);
    return lib::av_rescale_q(t.nextPts, t.encoder->time_base, kMicroseconds);
  }

  // The unfinished track whose next frame is earliest; nullptr when all are done.
  Track* NextTrack() {
    Track* best = nullptr;
    for (auto& t : tracks_) {
      if (t->flushed) continue;
      if (!best || NextTimeUs(*t) < NextTimeUs(*best)) best = t.get();
    }
    return best;
  }

  bool Step(Track& t) {
    if (t.type == AVMEDIA_TYPE_SUBTITLE) return WriteSubtitle(t);
    if (t.nextPts >= t.endPts) {
      t.flushed = true;
      int ret = lib::avcodec_send_frame(t.encoder, nullptr);
      if (ret < 0) return Fail("cannot flush the encoder", ret);
      return Drain(t);
    }
    int ret = lib::av_frame_make_writable(t.frame);
    if (ret < 0) return Fail("cannot write to a frame", ret);
    if (t.type == AVMEDIA_TYPE_VIDEO) {
      if (t.scaler) {
        ret = lib::av_frame_make_writable(t.yuvFrame);
        if (ret < 0) return Fail("cannot write to a frame", ret);
        DrawPattern(t.yuvFrame, int(t.nextPts));
        lib::sws_scale(t.scaler, t.yuvFrame->data, t.yuvFrame->linesize, 0, spec_.height, t.frame->data,
                       t.frame->linesize);
      } else {
        DrawPattern(t.frame, int(t.nextPts));
      }
      t.frame->pts = t.nextPts + JumpFor(t.nextPts, t.encoder->time_base);
      t.frame->pict_type = AV_PICTURE_TYPE_NONE;
      t.frame->interlaced_frame = spec_.interlaced;
      t.frame->top_field_first = spec_.interlaced;
      t.nextPts += 1;
    } else {
      int n = t.frameSamples;
      if (t.shortLastFrame) n = int(std::min<int64_t>(n, t.endPts - t.nextPts));
      t.frame->nb_samples = n;
      FillTone(t, n);
      t.frame->pts = t.nextPts + JumpFor(t.nextPts, t.encoder->time_base);
      t.nextPts += n;
    }
    ret = lib::avcodec_send_frame(t.encoder, t.frame);
    if (ret < 0) return Fail(std::string("encoder '") + t.encoder->codec->name + "' refused a frame", ret);
    return Drain(t);
  }

  bool Drain(Track& t) {
    for (;;) {
      int ret = lib::avcodec_receive_packet(t.encoder, packet_);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
      if (ret < 0) return Fail(std::string("encoder '") + t.encoder->codec->name + "' failed", ret);
      if (!WritePacket(t, t.encoder->time_base)) return false;
    }
  }

  bool WritePacket(Track& t, AVRational from) {
    lib::av_packet_rescale_ts(packet_, from, t.stream->time_base);
    packet_->stream_index = t.stream->index;
    int ret = lib::av_interleaved_write_frame(output_, packet_);
    if (ret < 0) return Fail("the muxer refused a packet", ret);
    return true;
  }

  // A diagonal gradient sliding right, colour bands moving down and a bright
  // square crossing the picture: every frame differs from its neighbours.
  void DrawPattern(AVFrame* f, int index) const {
    const AVPixFmtDescriptor* d = lib::av_pix_fmt_desc_get(AVPixelFormat(f->format));
    const int w = f->width, h = f->height;
    const int box = std::max(8, std::min(w, h) / 6);
    const int boxX = (index * 7) % std::max(1, w - box);
    const int boxY = (h - box) / 2 + int((h / 4) * std::sin(index * 0.2));
    for (int y = 0; y < h; ++y) {
      uint8_t* row = f->data[0] + y * f->linesize[0];
      for (int x = 0; x < w; ++x) {
        bool inBox = x >= boxX && x < boxX + box && y >= boxY && y < boxY + box;
        row[x] = inBox ? 235 : uint8_t(16 + ((x + y + index * 4) % 200));
        if (spec_.interlaced && (y & 1)) row[x] = 16;
      }
    }
    const int cw = (w + (1 << d->log2_chroma_w) - 1) >> d->log2_chroma_w;
    const int ch = (h + (1 << d->log2_chroma_h) - 1) >> d->log2_chroma_h;
    for (int y = 0; y < ch; ++y) {
      uint8_t* u = f->data[1] + y * f->linesize[1];
      uint8_t* v = f->data[2] + y * f->linesize[2];
      for (int x = 0; x < cw; ++x) {
        u[x] = uint8_t(64 + ((y * 2 + index * 3) % 128));
        v[x] = uint8_t(64 + ((x * 2 + index * 5) % 128));
      }
    }
  }

  void FillTone(Track& t, int samples) const {
    AVFrame* f = t.frame;
    const AVSampleFormat format = AVSampleFormat(f->format);
    const bool planar = lib::av_sample_fmt_is_planar(format);
    const int channels = f->ch_layout.nb_channels;
    const double step = 2.0 * M_PI * t.toneHz / t.encoder->sample_rate;
    for (int i = 0; i < samples; ++i) {
      const double value = kToneAmplitude * std::sin(step * double(t.nextPts + i));
      for (int c = 0; c < channels; ++c) {
        const int index = planar ? i : i * channels + c;
        uint8_t* base = f->data[planar ? c : 0];
        switch (lib::av_get_packed_sample_fmt(format)) {
          case AV_SAMPLE_FMT_U8:
            base[index] = uint8_t(128 + std::lround(value * 127));
            break;
          case AV_SAMPLE_FMT_S16:
            reinterpret_cast<int16_t*>(base)[index] = int16_t(std::lround(value * 32767));
            break;
          case AV_SAMPLE_FMT_S32:
            reinterpret_cast<int32_t*>(base)[index] = int32_t(std::lround(value * 2147483647.0));
            break;
          case AV_SAMPLE_FMT_S64:
            reinterpret_cast<int64_t*>(base)[index] = int64_t(std::llround(value * 9.2e18));
            break;
          case AV_SAMPLE_FMT_FLT:
            reinterpret_cast<float*>(base)[index] = float(value);
            break;
          case AV_SAMPLE_FMT_DBL:
            reinterpret_cast<double*>(base)[index] = value;
            break;
          default:
            break;
        }
      }
    }
  }

  // A framed bar of "text" drawn in three palette colours near the bottom.
  bool WriteSubtitle(Track& t) {
    const int index = t.subtitleIndex++;
    if (t.subtitleIndex >= int(t.endPts)) t.flushed = true;
    const int w = std::min(200, spec_.width) & ~1, h = 40;
    AVSubtitle sub{};
    sub.format = 0;  // bitmap
    sub.start_display_time = 0;
    sub.end_display_time = uint32_t(SubtitleLengthUs() / 1000);
    const int64_t startUs = SubtitleStartUs(index);
    sub.pts = startUs + JumpFor(startUs, kMicroseconds);
    sub.num_rects = 1;
    sub.rects = static_cast<AVSubtitleRect**>(lib::av_mallocz(sizeof(AVSubtitleRect*)));
    AVSubtitleRect* r =
        sub.rects ? static_cast<AVSubtitleRect*>(lib::av_mallocz(sizeof(AVSubtitleRect))) : nullptr;
    if (!r) {
      lib::avsubtitle_free(&sub);
      return Fail("out of memory");
    }
    sub.rects[0] = r;
    if (t.textSubtitle) {
      sub.format = 1;
      r->type = SUBTITLE_ASS;
      const std::string line = "0,0,Default,,0,0,0,," + SubtitleEventText(index);
      r->ass = lib::av_strdup(line.c_str());
      if (!r->ass) {
        lib::avsubtitle_free(&sub);
        return Fail("out of memory");
      }
      return EncodeSubtitle(t, sub, startUs);
    }
    r->type = SUBTITLE_BITMAP;
    r->x = (spec_.width - w) / 2;
    r->y = std::max(0, spec_.height - h - 10);
    r->w = w;
    r->h = h;
    r->nb_colors = 4;
    r->linesize[0] = w;
    r->data[0] = static_cast<uint8_t*>(lib::av_mallocz(size_t(w) * h));
    r->data[1] = static_cast<uint8_t*>(lib::av_mallocz(AVPALETTE_SIZE));
    if (!r->data[0] || !r->data[1]) {
      lib::avsubtitle_free(&sub);
      return Fail("out of memory");
    }
    uint32_t* palette = reinterpret_cast<uint32_t*>(r->data[1]);
    palette[0] = 0x00000000;  // transparent
    palette[1] = 0xFFFFFFFF;  // white
    palette[2] = 0xFF000000;  // black outline
    palette[3] = 0xFF808080;  // grey
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint8_t c = 0;
        if (y >= 4 && y < h - 4 && x >= 4 && x < w - 4) {
          const bool glyph = ((x / 6 + index) % 3 != 0) && y >= 10 && y < h - 10;
          c = glyph ? 1 : ((x == 4 || x == w - 5 || y == 4 || y == h - 5) ? 2 : 3);
        }
        r->data[0][y * w + x] = c;
      }
    }
    return EncodeSubtitle(t, sub, startUs);
  }

  // Encodes sub (and frees it) and writes the packet at startUs of source time.
  bool EncodeSubtitle(Track& t, AVSubtitle& sub, int64_t startUs) {
    constexpr int kBufferSize = 1 << 16;
    int ret = lib::av_new_packet(packet_, kBufferSize);
    if (ret < 0) {
      lib::avsubtitle_free(&sub);
      return Fail("out of memory", ret);
    }
    ret = lib::avcodec_encode_subtitle(t.encoder, packet_->data, kBufferSize, &sub);
    lib::avsubtitle_free(&sub);
    if (ret < 0) {
      lib::av_packet_unref(packet_);
      return Fail(std::string("the subtitle encoder '") + t.encoder->codec->name + "' failed", ret);
    }
    lib::av_shrink_packet(packet_, ret);
    packet_->pts = packet_->dts = startUs + JumpFor(startUs, kMicroseconds);
    packet_->duration = SubtitleLengthUs();
    packet_->flags |= AV_PKT_FLAG_KEY;
    return WritePacket(t, kMicroseconds);
  }

  std::string path_;
  MediaSpec spec_;
  std::string error_;
  AVFormatContext* output_ = nullptr;
  AVPacket* packet_ = nullptr;  // also holds the cover packet until the header is written
  std::vector<std::unique_ptr<Track>> tracks_;
  Track* cover_ = nullptr;  // in tracks_
};

std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

struct CacheEntry {
  bool ok = false;
  std::string path;
  std::string error;
};

// Guarded by CacheLock().
std::map<std::string, CacheEntry>& Cache() {
  static std::map<std::string, CacheEntry> cache;
  return cache;
}

MediaSpec AviSpec(double seconds) {
  MediaSpec s;
  s.container = "avi";
  s.videoCodec = "mpeg4";
  s.videoTag = "XVID";
  s.audioCodecs = {"libmp3lame"};
  s.seconds = seconds;
  return s;
}

}  // namespace

bool WriteMedia(const std::string& path, const MediaSpec& spec, std::string* error) {
  LoadConverterLibraries();
  if (!FFLoader().LibrariesLoaded(kConverterLibraries)) {
    if (error)
      *error =
          "Cannot write '" + path + "': the media libraries are not loaded (" + FFLoader().LastError() + ")";
    return false;
  }
  bool ok;
  std::string text;
  {
    Writer writer(path, spec);
    ok = writer.Run();
    text = writer.Error();
  }
  if (!ok) unlink(path.c_str());
  if (error) *error = ok ? std::string() : text;
  return ok;
}

std::string CachedMedia(const std::string& name, const MediaSpec& spec) {
  std::lock_guard<std::mutex> guard(CacheLock());
  auto it = Cache().find(name);
  if (it == Cache().end()) {
    CacheEntry entry;
    entry.path = TempPath(name);
    entry.ok = WriteMedia(entry.path, spec, &entry.error);
    it = Cache().emplace(name, entry).first;
  }
  if (!it->second.ok) ADD_FAILURE() << it->second.error;
  return it->second.path;
}

MediaSpec AviMpeg4Mp3Spec() { return AviSpec(2.0); }

MediaSpec Mp4H264AacSpec() {
  MediaSpec s;
  s.container = "mp4";
  s.videoCodec = "libx264";
  s.audioCodecs = {"aac"};
  return s;
}

MediaSpec TsMpeg2Mp2JumpSpec() {
  MediaSpec s;
  s.container = "mpegts";
  s.videoCodec = "mpeg2video";
  s.audioCodecs = {"mp2"};
  s.seconds = 4.0;
  s.timestampJumpAt = 2000000;
  s.timestampJump = 30000000;
  return s;
}

std::string AviMpeg4Mp3() { return CachedMedia("mpeg4_mp3.avi", AviMpeg4Mp3Spec()); }
std::string Mp4H264Aac() { return CachedMedia("h264_aac.mp4", Mp4H264AacSpec()); }
std::string TsMpeg2Mp2Jump() { return CachedMedia("mpeg2_mp2_jump.ts", TsMpeg2Mp2JumpSpec()); }

std::string WavPcm() {
  MediaSpec s;
  s.container = "wav";
  s.audioCodecs = {"pcm_s16le"};
  return CachedMedia("pcm.wav", s);
}

std::string Mp3Only() {
  MediaSpec s;
  s.container = "mp3";
  s.audioCodecs = {"libmp3lame"};
  return CachedMedia("audio.mp3", s);
}

std::string TwoAudioStreams() {
  MediaSpec s;
  s.container = "matroska";
  s.videoCodec = "mpeg4";
  s.audioCodecs = {"libmp3lame", "aac"};
  return CachedMedia("two_audio.mkv", s);
}

std::string WithBitmapSubtitle() {
  MediaSpec s;
  s.container = "matroska";
  s.videoCodec = "mpeg4";
  s.audioCodecs = {"libmp3lame"};
  s.bitmapSubtitle = true;
  return CachedMedia("bitmap_subtitle.mkv", s);
}

std::string ChineseNamed() { return CachedMedia("测试视频.avi", AviSpec(1.0)); }

std::string WithTextSubtitle() {
  MediaSpec s;
  s.container = "matroska";
  s.videoCodec = "mpeg4";
  s.audioCodecs = {"libmp3lame"};
  s.textSubtitleCodec = "subrip";
  return CachedMedia("text_subtitle.mkv", s);
}

std::string Mp4WithBFrames() {
  MediaSpec s = Mp4H264AacSpec();
  s.maxBFrames = 2;
  return CachedMedia("h264_bframes_aac.mp4", s);
}

bool EncoderAvailable(const std::string& name) {
  LoadConverterLibraries();
  return FFLoader().LibrariesLoaded(kConverterLibraries) && lib::avcodec_find_encoder_by_name(name.c_str());
}

std::string SubtitleEventText(int index) { return "Subtitle event " + std::to_string(index + 1); }

std::string TruncatedCopy(const std::string& source, double keepFraction, const std::string& name) {
  const std::string path = TempPath(name);
  std::ifstream in(source, std::ios::binary);
  std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(data.empty()) << "Cannot read '" << source << "'";
  data.resize(size_t(double(data.size()) * std::clamp(keepFraction, 0.0, 1.0)));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  EXPECT_TRUE(out.good()) << "Cannot write '" << path << "'";
  return path;
}

std::string GarbageFile(const std::string& name, size_t bytes) {
  const std::string path = TempPath(name);
  std::string data(bytes, '\0');
  uint32_t state = 0x12345678u;
  for (char& c : data) {
    state = state * 1664525u + 1013904223u;
    c = char(state >> 24);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  EXPECT_TRUE(out.good()) << "Cannot write '" << path << "'";
  return path;
}

}  // namespace testsupport

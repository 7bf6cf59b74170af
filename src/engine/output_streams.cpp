// Creating the streams of an output file. Each stream consumes the option
// values of its kind; its encoder context is prepared here and opened when
// the run starts.
#include <cstdlib>
#include <cstring>

#include "engine/codec_lookup.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

AVRational AspectToSar(float aspect, int width, int height) {
  double value = width && height ? double(aspect) * height / width : double(aspect) * 3.0 / 4.0;
  return lib::av_d2q(value, 255);
}

// Today's JPEG encoder lists limited-range YUV but refuses it unless the
// compliance is lowered; its full-range twin has the same layout.
AVPixelFormat FullRangeTwin(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUV420P: return AV_PIX_FMT_YUVJ420P;
    case AV_PIX_FMT_YUV422P: return AV_PIX_FMT_YUVJ422P;
    case AV_PIX_FMT_YUV444P: return AV_PIX_FMT_YUVJ444P;
    default: return AV_PIX_FMT_NONE;
  }
}

void CheckPixelFormat(AVCodecContext* enc, const AVCodec* codec) {
  if (!codec || !codec->pix_fmts) return;
  if (codec->id == AV_CODEC_ID_MJPEG && enc->strict_std_compliance > FF_COMPLIANCE_UNOFFICIAL &&
      FullRangeTwin(enc->pix_fmt) != AV_PIX_FMT_NONE)
    enc->pix_fmt = FullRangeTwin(enc->pix_fmt);
  for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    if (*p == enc->pix_fmt) return;
  if (codec->id == AV_CODEC_ID_MJPEG && enc->strict_std_compliance <= FF_COMPLIANCE_UNOFFICIAL &&
      (enc->pix_fmt == AV_PIX_FMT_YUV420P || enc->pix_fmt == AV_PIX_FMT_YUV422P))
    return;
  enc->pix_fmt = codec->pix_fmts[0];
}

void CheckSampleFormat(AVCodecContext* enc, const AVCodec* codec) {
  if (!codec || !codec->sample_fmts) return;
  for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
    if (*p == enc->sample_fmt) return;
  enc->sample_fmt = codec->sample_fmts[0];
}

// Rate-control overrides "start,end,q/start,end,q...".
void ParseRcOverride(AVCodecContext* enc, const std::string& text) {
  std::vector<RcOverride> entries;
  const char* p = text.c_str();
  while (p && *p) {
    int start, end, q;
    if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3) throw FFmpegException("error parsing rc_override");
    RcOverride r{};
    r.start_frame = start;
    r.end_frame = end;
    if (q > 0) {
      r.qscale = q;
      r.quality_factor = 1.0f;
    } else {
      r.qscale = 0;
      r.quality_factor = -float(q) / 100.0f;  // float first: q may be INT_MIN
    }
    entries.push_back(r);
    p = std::strchr(p, '/');
    if (p) ++p;
  }
  if (entries.empty()) return;
  enc->rc_override = static_cast<RcOverride*>(lib::av_malloc(sizeof(RcOverride) * entries.size()));
  if (!enc->rc_override) throw FFmpegException("error parsing rc_override");
  std::memcpy(enc->rc_override, entries.data(), sizeof(RcOverride) * entries.size());
  enc->rc_override_count = int(entries.size());
}

uint16_t* CopyMatrix(const TMatrix& m) {
  auto* out = static_cast<uint16_t*>(lib::av_malloc(64 * sizeof(uint16_t)));
  if (out) std::memcpy(out, m.data(), 64 * sizeof(uint16_t));
  return out;
}

// A context made for the encoder starts from the encoder's own defaults
// (some encoders refuse the generic ones). What was set so far is kept.
void UseEncoderDefaults(TOutputStream& ost, const AVCodec* codec) {
  if (!codec) return;
  AVCodecContext* fresh = lib::avcodec_alloc_context3(codec);
  if (!fresh) throw FFmpegException("avcodec_alloc_context failed");
  AVCodecContext* old = ost.Enc;
  fresh->codec_type = old->codec_type;
  fresh->thread_count = old->thread_count;
  fresh->codec_tag = old->codec_tag;
  fresh->flags |= old->flags;
  fresh->flags2 |= old->flags2;
  lib::avcodec_free_context(&ost.Enc);
  ost.Enc = fresh;
}

}  // namespace

AVStream* TCustomFFmpeg::AddOutputStream(int outputFile, AVMediaType type, TOutputStream*& ost) {
  TOutputFile& file = outputFiles_.at(size_t(outputFile));
  AVFormatContext* ctx = file.Ctx;
  int id = ctx->nb_streams < unsigned(kMaxStreams) ? opt_.StreamIdMap[ctx->nb_streams] : 0;
  AVStream* st = lib::avformat_new_stream(ctx, nullptr);
  if (!st) throw FFmpegException("Could not alloc stream");
  if (id) st->id = id;
  auto entry = std::make_unique<TOutputStream>();
  entry->FileIndex = outputFile;
  entry->Index = st->index;
  entry->St = st;
  entry->Type = type;
  entry->Enc = lib::avcodec_alloc_context3(nullptr);
  if (!entry->Enc) throw FFmpegException("avcodec_alloc_context failed");
  entry->Enc->codec_type = type;
  entry->Enc->thread_count = opt_.Threads;
  std::vector<const AVBitStreamFilter*>& chain = type == AVMEDIA_TYPE_VIDEO   ? opt_.VideoBsfChain
                                                 : type == AVMEDIA_TYPE_AUDIO ? opt_.AudioBsfChain
                                                                              : opt_.SubtitleBsfChain;
  entry->BsfChain = std::move(chain);
  chain.clear();
  ost = entry.get();
  outputStreams_.push_back(std::move(entry));
  return st;
}

void TCustomFFmpeg::NewVideoStream(int outputFile) {
  TOptionState& o = opt_;
  TOutputStream* ost = nullptr;
  AVStream* st;
  try {
    st = AddOutputStream(outputFile, AVMEDIA_TYPE_VIDEO, ost);
  } catch (...) {
    o.VideoCodecName.reset();
    throw;
  }
  TOutputFile& file = outputFiles_[size_t(outputFile)];
  AVCodecContext* enc = ost->Enc;
  AVCodecContext* videoOptions = optionContext_->Codec[AVMEDIA_TYPE_VIDEO];
  if (o.VideoCodecTag) enc->codec_tag = o.VideoCodecTag;
  if ((o.VideoGlobalHeader & 1) || (o.VideoGlobalHeader == 0 && (file.Ctx->oformat->flags & AVFMT_GLOBALHEADER))) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    videoOptions->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (o.VideoGlobalHeader & 2) {
    enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    videoOptions->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }

  if (o.VideoStreamCopy) {
    ost->StreamCopy = true;
    AVRational sar = AspectToSar(o.FrameAspectRatio, o.FrameWidth, o.FrameHeight);
    enc->sample_aspect_ratio = sar;
    st->sample_aspect_ratio = sar;
  } else {
    AVRational fps = o.FrameRate.num > 0 && o.FrameRate.den > 0 ? o.FrameRate : AVRational{25, 1};
    AVCodecID id;
    std::string error;
    const AVCodec* codec;
    if (o.VideoCodecName) {
      if (!engine::LookupCodec(o.VideoCodecName, AVMEDIA_TYPE_VIDEO, true, videoOptions->strict_std_compliance, id,
                               error))
        throw FFmpegException(error);
      codec = lib::avcodec_find_encoder_by_name(o.VideoCodecName->c_str());
      ost->Encoder = codec;
    } else {
      id = lib::av_guess_codec(file.Ctx->oformat, nullptr, file.LibraryName.c_str(), nullptr, AVMEDIA_TYPE_VIDEO);
      codec = lib::avcodec_find_encoder(id);
    }
    UseEncoderDefaults(*ost, codec);
    enc = ost->Enc;
    enc->codec_id = id;
    CopyRecordedOptions(enc, videoOptions, AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    enc->thread_count = o.Threads;
    if (codec && codec->supported_framerates && !o.ForceFps)
      fps = codec->supported_framerates[lib::av_find_nearest_q_idx(fps, codec->supported_framerates)];
    ost->FrameRate = fps;
    enc->time_base = AVRational{fps.den, fps.num};
    enc->framerate = fps;
    enc->width = o.FrameWidth;
    enc->height = o.FrameHeight;
    ost->SizeFromInput = o.FrameSizeFromInput;
    AVRational sar = AspectToSar(o.FrameAspectRatio, enc->width, enc->height);
    enc->sample_aspect_ratio = sar;
    st->sample_aspect_ratio = sar;
    enc->pix_fmt = AVPixelFormat(o.FramePixFmt);
    CheckPixelFormat(enc, codec);
    if (o.IntraOnly) enc->gop_size = 0;
    if (o.VideoQScale != 0 || o.SameQuality) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = int(FF_QP2LAMBDA * o.VideoQScale);
    }
    if (o.IntraMatrix) enc->intra_matrix = CopyMatrix(*o.IntraMatrix);
    if (o.InterMatrix) enc->inter_matrix = CopyMatrix(*o.InterMatrix);
    if (o.VideoRcOverride) ParseRcOverride(enc, *o.VideoRcOverride);
    if (enc->rc_initial_buffer_occupancy == 0)
      enc->rc_initial_buffer_occupancy = int(int64_t(enc->rc_buffer_size) * 3 / 4);
    enc->intra_dc_precision = engine::SaturatingInt(double(o.IntraDcPrecision) - 8);
    if (o.DoPsnr) enc->flags |= AV_CODEC_FLAG_PSNR;
    if (o.DoPass == 1) enc->flags |= AV_CODEC_FLAG_PASS1;
    if (o.DoPass == 2) enc->flags |= AV_CODEC_FLAG_PASS2;
    lib::av_dict_copy(&ost->EncoderOptions, optionContext_->EncoderPrivate[AVMEDIA_TYPE_VIDEO], 0);
  }
  if (!o.VideoLanguage.empty()) {
    lib::av_dict_set(&st->metadata, "language", o.VideoLanguage.c_str(), 0);
    o.VideoLanguage.clear();
  }
  o.VideoDisable = false;
  o.VideoStreamCopy = false;
  o.VideoCodecName.reset();
  o.FramePixFmt = -1;
}

void TCustomFFmpeg::NewAudioStream(int outputFile) {
  TOptionState& o = opt_;
  TOutputStream* ost = nullptr;
  AVStream* st;
  try {
    st = AddOutputStream(outputFile, AVMEDIA_TYPE_AUDIO, ost);
  } catch (...) {
    o.AudioCodecName.reset();
    throw;
  }
  TOutputFile& file = outputFiles_[size_t(outputFile)];
  AVCodecContext* enc = ost->Enc;
  AVCodecContext* audioOptions = optionContext_->Codec[AVMEDIA_TYPE_AUDIO];
  if (o.AudioCodecTag) enc->codec_tag = o.AudioCodecTag;
  if (file.Ctx->oformat->flags & AVFMT_GLOBALHEADER) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    audioOptions->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (o.AudioStreamCopy) {
    ost->StreamCopy = true;
    lib::av_channel_layout_uninit(&enc->ch_layout);
    lib::av_channel_layout_default(&enc->ch_layout, o.AudioChannels);
    enc->sample_rate = o.AudioSampleRate;
  } else {
    enc->thread_count = o.Threads;
    AVCodecID id;
    std::string error;
    const AVCodec* codec;
    if (o.AudioCodecName) {
      if (!engine::LookupCodec(o.AudioCodecName, AVMEDIA_TYPE_AUDIO, true, audioOptions->strict_std_compliance, id,
                               error))
        throw FFmpegException(error);
      codec = lib::avcodec_find_encoder_by_name(o.AudioCodecName->c_str());
      ost->Encoder = codec;
    } else {
      id = lib::av_guess_codec(file.Ctx->oformat, nullptr, file.LibraryName.c_str(), nullptr, AVMEDIA_TYPE_AUDIO);
      codec = lib::avcodec_find_encoder(id);
    }
    UseEncoderDefaults(*ost, codec);
    enc = ost->Enc;
    CopyRecordedOptions(enc, audioOptions, AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    enc->codec_id = id;
    if (o.AudioQScale > -99999) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = engine::SaturatingInt(FF_QP2LAMBDA * o.AudioQScale);
    }
    lib::av_channel_layout_uninit(&enc->ch_layout);
    if (inputLayout_.nb_channels == o.AudioChannels && inputLayout_.order != AV_CHANNEL_ORDER_UNSPEC)
      lib::av_channel_layout_copy(&enc->ch_layout, &inputLayout_);
    else
      lib::av_channel_layout_default(&enc->ch_layout, o.AudioChannels);
    enc->sample_fmt = AVSampleFormat(o.AudioSampleFmt);
    CheckSampleFormat(enc, codec);
    enc->sample_rate = o.AudioSampleRate;
    if (codec && codec->supported_samplerates) {
      int best = 0, bestDistance = INT32_MAX;
      for (const int* rate = codec->supported_samplerates; *rate; ++rate) {
        int distance = std::abs(enc->sample_rate - *rate);
        if (distance < bestDistance) {
          best = *rate;
          bestDistance = distance;
        }
      }
      if (best != enc->sample_rate) {
        LogFmt(this, llWarning, "Requested sampling rate unsupported using closest supported (%d)", best);
        enc->sample_rate = best;
      }
    }
    lib::av_dict_copy(&ost->EncoderOptions, optionContext_->EncoderPrivate[AVMEDIA_TYPE_AUDIO], 0);
  }
  enc->time_base = AVRational{1, o.AudioSampleRate > 0 ? o.AudioSampleRate : 44100};
  if (!o.AudioLanguage.empty()) {
    lib::av_dict_set(&st->metadata, "language", o.AudioLanguage.c_str(), 0);
    o.AudioLanguage.clear();
  }
  o.AudioDisable = false;
  o.AudioCodecName.reset();
  o.AudioStreamCopy = false;
}

void TCustomFFmpeg::NewSubtitleStream(int outputFile) {
  TOptionState& o = opt_;
  TOutputStream* ost = nullptr;
  AVStream* st;
  try {
    st = AddOutputStream(outputFile, AVMEDIA_TYPE_SUBTITLE, ost);
  } catch (...) {
    o.SubtitleCodecName.reset();
    throw;
  }
  AVCodecContext* enc = ost->Enc;
  AVCodecContext* subtitleOptions = optionContext_->Codec[AVMEDIA_TYPE_SUBTITLE];
  if (o.SubtitleCodecTag) enc->codec_tag = o.SubtitleCodecTag;
  if (o.SubtitleStreamCopy) {
    ost->StreamCopy = true;
  } else {
    AVCodecID id;
    std::string error;
    if (!engine::LookupCodec(o.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, true,
                             subtitleOptions->strict_std_compliance, id, error))
      throw FFmpegException(error);
    if (o.SubtitleCodecName) ost->Encoder = lib::avcodec_find_encoder_by_name(o.SubtitleCodecName->c_str());
    UseEncoderDefaults(*ost, ost->Encoder);
    enc = ost->Enc;
    CopyRecordedOptions(enc, subtitleOptions, AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    enc->thread_count = o.Threads;
    enc->codec_id = id;
    lib::av_dict_copy(&ost->EncoderOptions, optionContext_->EncoderPrivate[AVMEDIA_TYPE_SUBTITLE], 0);
  }
  if (!o.SubtitleLanguage.empty()) {
    lib::av_dict_set(&st->metadata, "language", o.SubtitleLanguage.c_str(), 0);
    o.SubtitleLanguage.clear();
  }
  o.SubtitleDisable = false;
  o.SubtitleCodecName.reset();
  o.SubtitleStreamCopy = false;
}

// Opening an input file: demuxer choice, capture parameters, recorded
// options, program selection, start position, stream-parameter discovery,
// and the input's properties copied back into the option state.
#include <cmath>
#include <utility>

#include "engine/codec_lookup.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/display_rotation.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "media/wide_protocol.h"

using engine::Format;

namespace {

// The values capture and raw demuxers take; others ignore them.
AVDictionary* FormatParameters(const TOptionState& o) {
  AVDictionary* d = nullptr;
  lib::av_dict_set_int(&d, "sample_rate", o.AudioSampleRate, 0);
  lib::av_dict_set_int(&d, "channels", o.AudioChannels, 0);
  if (o.FrameRate.num > 0 && o.FrameRate.den > 0)
    lib::av_dict_set(&d, "framerate", Format("%d/%d", o.FrameRate.num, o.FrameRate.den).c_str(), 0);
  if (o.FrameWidth > 0 && o.FrameHeight > 0)
    lib::av_dict_set(&d, "video_size", Format("%dx%d", o.FrameWidth, o.FrameHeight).c_str(), 0);
  if (o.FramePixFmt >= 0) {
    const char* name = lib::av_get_pix_fmt_name(AVPixelFormat(o.FramePixFmt));
    if (name) lib::av_dict_set(&d, "pixel_format", name, 0);
  }
  if (o.VideoChannel) lib::av_dict_set_int(&d, "channel", o.VideoChannel, 0);
  if (o.VideoStandard) lib::av_dict_set(&d, "standard", o.VideoStandard->c_str(), 0);
  return d;
}

}  // namespace

bool TCustomFFmpeg::OpenInputFile(const std::wstring& fileName) {
  TOptionState& o = opt_;
  const std::string displayName = engine::WideToUtf8(fileName);
  if (int(inputFiles_.size()) >= fileCapacity_) {
    openError_ = Format("max input files %d reached", fileCapacity_);
    return false;
  }
  const AVInputFormat* forced = nullptr;
  if (!o.FileFormat.empty()) {
    // The forced format belongs to this open, whatever its outcome.
    std::string name = std::move(o.FileFormat);
    o.FileFormat.clear();
    forced = lib::av_find_input_format(name.c_str());
    if (!forced) throw FFmpegException(Format("Unknown input format: \"%s\"", name.c_str()));
  }
  AVFormatContext* ctx = lib::avformat_alloc_context();
  if (!ctx) throw FFmpegException("avformat_alloc_context failed");

  auto fail = [&](const std::string& error) {
    openError_ = error;
    o.VideoCodecName.reset();
    o.AudioCodecName.reset();
    o.SubtitleCodecName.reset();
    o.VideoChannel = 0;
    if (ctx) CloseInputByLibraryName(&ctx);
    return false;
  };

  AVDictionary* parameters = FormatParameters(o);
  CopyRecordedOptions(ctx, optionContext_->Format, AV_OPT_FLAG_DECODING_PARAM);

  // Decoders forced by name decide the codec ids the demuxer reports.
  std::string error;
  AVCodecID id;
  const AVCodecContext* const* codecs = optionContext_->Codec;
  if (!engine::LookupCodec(o.VideoCodecName, AVMEDIA_TYPE_VIDEO, false,
                           codecs[AVMEDIA_TYPE_VIDEO]->strict_std_compliance, id, error)) {
    lib::av_dict_free(&parameters);
    lib::avformat_free_context(ctx);
    ctx = nullptr;
    return fail(error);
  }
  ctx->video_codec_id = id;
  if (!engine::LookupCodec(o.AudioCodecName, AVMEDIA_TYPE_AUDIO, false,
                           codecs[AVMEDIA_TYPE_AUDIO]->strict_std_compliance, id, error)) {
    lib::av_dict_free(&parameters);
    lib::avformat_free_context(ctx);
    ctx = nullptr;
    return fail(error);
  }
  ctx->audio_codec_id = id;
  if (!engine::LookupCodec(o.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false,
                           codecs[AVMEDIA_TYPE_SUBTITLE]->strict_std_compliance, id, error)) {
    lib::av_dict_free(&parameters);
    lib::avformat_free_context(ctx);
    ctx = nullptr;
    return fail(error);
  }
  ctx->subtitle_codec_id = id;
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  if (o.PgmyuvCompat) ctx->video_codec_id = AV_CODEC_ID_PGMYUV;

  const std::string libraryName = ToLibraryFileName(fileName);
  int ret = OpenInputByLibraryName(&ctx, libraryName, forced, &parameters);
  lib::av_dict_free(&parameters);
  if (ret < 0) {
    ctx = nullptr;  // freed by the open
    return fail(displayName + ": " + engine::LibraryErrorText(ret));
  }

  if (o.ProgramId) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i) ctx->streams[i]->discard = AVDISCARD_ALL;
    bool found = false;
    for (unsigned p = 0; p < ctx->nb_programs; ++p) {
      AVProgram* program = ctx->programs[p];
      if (program->id == o.ProgramId) {
        found = true;
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
          ctx->streams[program->stream_index[k]]->discard = AVDISCARD_DEFAULT;
      } else {
        program->discard = AVDISCARD_ALL;
      }
    }
    if (!found) return fail("Specified program id not found");
    o.ProgramId = 0;
  }

  {
    std::lock_guard<std::mutex> guard(CodecLock());
    ret = lib::avformat_find_stream_info(ctx, nullptr);
  }
  if (ret < 0 && Verbose >= 0) {
    std::string text = Format("%s: could not find codec parameters", displayName.c_str());
    Log(this, llVerbose, text);
    return fail(text);
  }

  int64_t timestamp = o.StartTime;
  if (ctx->start_time != AV_NOPTS_VALUE) timestamp += ctx->start_time;
  if (o.StartTime != 0) {
    if (lib::av_seek_frame(ctx, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && Verbose > 0)
      LogFmt(this, llVerbose, "%s: could not seek to position %0.3f", displayName.c_str(),
             double(timestamp) / AV_TIME_BASE);
  }
  o.StartTime = 0;

  TInputFile file;
  file.Ctx = ctx;
  file.FileName = fileName;
  file.LibraryName = libraryName;
  file.Identity = platform::FileIdentity(DiskPathOfLibraryName(libraryName));
  file.StreamCount = int(ctx->nb_streams);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream* st = ctx->streams[i];
    AVCodecParameters* par = st->codecpar;
    AVCodecContext* dec = lib::avcodec_alloc_context3(nullptr);
    if (!dec || lib::avcodec_parameters_to_context(dec, par) < 0) {
      lib::avcodec_free_context(&dec);
      for (AVCodecContext*& c : file.StreamCodecs) lib::avcodec_free_context(&c);
      return fail("avcodec_alloc_context failed");
    }
    dec->thread_count = o.Threads;
    dec->pkt_timebase = st->time_base;
    const AVCodec* forcedDecoder = nullptr;
    switch (par->codec_type) {
      case AVMEDIA_TYPE_VIDEO: {
        CopyRecordedOptions(dec, optionContext_->Codec[AVMEDIA_TYPE_VIDEO],
                            AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        o.FrameHeight = par->height;
        o.FrameWidth = par->width;
        AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
        double ratio = sar.num && sar.den ? double(sar.num) / sar.den : 0.0;
        if (par->width && par->height)
          o.FrameAspectRatio = float(ratio != 0 ? par->width * ratio / par->height
                                                : double(par->width) / par->height);
        else
          o.FrameAspectRatio = float(ratio != 0 ? ratio : 4.0 / 3.0);
        if (dec->pix_fmt == AV_PIX_FMT_NONE) dec->pix_fmt = AVPixelFormat(0);
        o.FramePixFmt = dec->pix_fmt;
        if (dec->lowres) {
          o.FrameWidth >>= dec->lowres;
          o.FrameHeight >>= dec->lowres;
        }
        // Outputs describe the picture as it is shown: a quarter turn
        // recorded in the stream swaps its sides.
        if (RotationSwapsSize(StreamDisplayRotation(st))) {
          std::swap(o.FrameWidth, o.FrameHeight);
          if (o.FrameAspectRatio > 0) o.FrameAspectRatio = 1.0f / o.FrameAspectRatio;
        }
        o.FrameSizeFromInput = true;
        AVRational r = st->r_frame_rate;
        AVRational avg = st->avg_frame_rate;
        if (avg.num && r.num && (avg.num != r.num || avg.den != r.den) && Verbose >= 0)
          LogFmt(this, llInfo,
                 "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
                 int(i), double(avg.num) / avg.den, avg.num, avg.den, double(r.num) / r.den, r.num, r.den);
        // A cover picture has no frame rate of its own (the library reports
        // its clock, 90000): an output made from it takes the default rate.
        o.FrameRate = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) ? AVRational{0, 0} : r;
        if (o.VideoCodecName) forcedDecoder = lib::avcodec_find_decoder_by_name(o.VideoCodecName->c_str());
        if (o.VideoDisable)
          st->discard = AVDISCARD_ALL;
        else if (o.VideoDiscard)
          st->discard = AVDiscard(o.VideoDiscard);
        break;
      }
      case AVMEDIA_TYPE_AUDIO:
        CopyRecordedOptions(dec, optionContext_->Codec[AVMEDIA_TYPE_AUDIO],
                            AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        lib::av_channel_layout_uninit(&inputLayout_);
        lib::av_channel_layout_copy(&inputLayout_, &par->ch_layout);
        if (par->ch_layout.nb_channels > 0) o.AudioChannels = par->ch_layout.nb_channels;
        if (par->sample_rate > 0) o.AudioSampleRate = par->sample_rate;
        o.AudioSampleFmt = par->format;
        if (o.AudioCodecName) forcedDecoder = lib::avcodec_find_decoder_by_name(o.AudioCodecName->c_str());
        if (o.AudioDisable) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (o.SubtitleCodecName)
          forcedDecoder = lib::avcodec_find_decoder_by_name(o.SubtitleCodecName->c_str());
        if (o.SubtitleDisable) st->discard = AVDISCARD_ALL;
        break;
      default:
        // Data, attachments and streams of unknown kind are carried along
        // without a decoder; the run never reads them.
        break;
    }
    file.StreamCodecs.push_back(dec);
    file.ForcedDecoders.push_back(forcedDecoder);
  }

  if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > TotalDuration) TotalDuration = ctx->duration;
  file.TsOffset = o.CopyTs ? o.InputTsOffset : o.InputTsOffset - timestamp;
  size_t index = inputFiles_.size();
  file.TsScale.assign(kMaxStreams, 0.0);
  if (index < o.InputTsScale.size()) file.TsScale = o.InputTsScale[index];
  if (Verbose >= 0) lib::av_dump_format(ctx, int(index), libraryName.c_str(), 0);
  {
    std::lock_guard<std::mutex> guard(filesLock_);
    inputFiles_.push_back(std::move(file));
  }

  o.VideoChannel = 0;
  o.VideoCodecName.reset();
  o.AudioCodecName.reset();
  o.SubtitleCodecName.reset();
  return true;
}

void TCustomFFmpeg::CloseInputs() {
  // Detached first: readers on other threads see no input from here on.
  std::vector<TInputFile> files;
  {
    std::lock_guard<std::mutex> guard(filesLock_);
    files.swap(inputFiles_);
  }
  for (TInputFile& file : files) {
    for (AVCodecContext*& c : file.StreamCodecs) {
      if (!c) continue;
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&c);
    }
    if (file.Ctx) CloseInputByLibraryName(&file.Ctx);
  }
  if (optionContext_ || inputLayout_.nb_channels) lib::av_channel_layout_uninit(&inputLayout_);
}

// Set-up of a run: which input stream feeds each output stream, stream copy
// or encoding, opening encoders and decoders, metadata, chapters, headers.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/display_rotation.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "platform/thread_priority.h"

using engine::Format;

namespace {

const char* TypeName(AVMediaType type) {
  const char* name = lib::av_get_media_type_string(type);
  return name ? name : "unknown";
}

bool InProgram(AVFormatContext* ctx, int programId, int streamIndex) {
  for (unsigned p = 0; p < ctx->nb_programs; ++p) {
    AVProgram* program = ctx->programs[p];
    if (program->id != programId) continue;
    for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
      if (int(program->stream_index[k]) == streamIndex) return true;
  }
  return false;
}

bool InputsHaveAudio(const std::vector<TInputFile>& inputs) {
  for (const TInputFile& file : inputs)
    for (unsigned i = 0; i < file.Ctx->nb_streams; ++i)
      if (file.Ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) return true;
  return false;
}

// The encoders copy the first-pass statistics with the library's
// allocator, which refuses blocks from this size on.
constexpr int64_t kMaxStatsSize = INT_MAX;

enum TLogRead { lrOk, lrNoMemory, lrFailed };

// Reads the whole first-pass log into text, in one buffer of its size.
TLogRead ReadLogFile(FILE* f, std::string& text) {
  if (fseeko(f, 0, SEEK_END) != 0) return lrFailed;
  const off_t size = ftello(f);
  if (size < 0 || fseeko(f, 0, SEEK_SET) != 0) return lrFailed;
  if (int64_t(size) >= kMaxStatsSize) return lrNoMemory;
  try {
    text.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    return lrNoMemory;
  }
  if (size > 0 && std::fread(text.data(), 1, size_t(size), f) != size_t(size)) return lrFailed;
  return lrOk;
}

}  // namespace

void TCustomFFmpeg::SetupMapping() {
  TOptionState& o = opt_;
  std::vector<TInputStream>& ists = run_.InputStreams;
  ists.clear();
  for (size_t f = 0; f < inputFiles_.size(); ++f) {
    TInputFile& file = inputFiles_[f];
    file.FirstStream = int(ists.size());
    file.Eof = file.NoPacket = false;
    for (int i = 0; i < file.StreamCount; ++i) {
      TInputStream ist;
      ist.FileIndex = int(f);
      ist.StreamIndex = i;
      ist.St = file.Ctx->streams[i];
      ist.Dec = file.StreamCodecs[size_t(i)];
      ist.ForcedDecoder = file.ForcedDecoders[size_t(i)];
      if (o.RateEmu) ist.Start = lib::av_gettime();
      ists.push_back(ist);
    }
  }

  for (size_t f = 0; f < outputFiles_.size(); ++f) {
    TOutputFile& file = outputFiles_[f];
    if (file.Shared) continue;
    if (file.Ctx->nb_streams == 0) {
      lib::av_dump_format(file.Ctx, int(f), file.LibraryName.c_str(), 1);
      // The usual cause: a sound-only output from a video without sound.
      if (!InputsHaveAudio(inputFiles_))
        throw FFmpegException("The input has no sound (no audio stream): there is nothing to convert");
      throw FFmpegException(Format("Output file #%d does not contain any stream", int(f)));
    }
  }

  auto findInput = [&](int file, int stream) -> int {
    if (file < 0 || file >= int(inputFiles_.size())) return -1;
    if (stream < 0 || stream >= inputFiles_[size_t(file)].StreamCount) return -1;
    return inputFiles_[size_t(file)].FirstStream + stream;
  };
  if (!o.StreamMaps.empty()) {
    if (o.StreamMaps.size() != outputStreams_.size())
      throw FFmpegException("Number of stream maps must match number of output streams");
    for (const TStreamMap& m : o.StreamMaps) {
      if (findInput(m.File, m.Stream) < 0)
        throw FFmpegException(Format("Could not find input stream #%d.%d", m.File, m.Stream));
      if (findInput(m.SyncFile, m.SyncStream) < 0)
        throw FFmpegException(Format("Could not find sync stream #%d.%d", m.SyncFile, m.SyncStream));
    }
  }

  for (size_t n = 0; n < outputStreams_.size(); ++n) {
    TOutputStream& ost = *outputStreams_[n];
    TOutputFile& of = outputFiles_[size_t(ost.FileIndex)];
    int source = -1;
    if (!o.StreamMaps.empty()) {
      const TStreamMap& m = o.StreamMaps[n];
      source = findInput(m.File, m.Stream);
      AVMediaType inType = ists[size_t(source)].St->codecpar->codec_type;
      if (inType != ost.Type) {
        lib::av_dump_format(of.Ctx, ost.FileIndex, of.LibraryName.c_str(), 1);
        throw FFmpegException(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", m.File,
                                     m.Stream, TypeName(inType), ost.FileIndex, ost.Index, TypeName(ost.Type)));
      }
      ost.SyncIndex = findInput(m.SyncFile, m.SyncStream);
    } else {
      // The idle stream of that kind with the most frames; ties go to the
      // first. A still picture attached to the file (cover art) counts only
      // when there is nothing else.
      int64_t bestFrames = -1;
      for (size_t k = 0; k < ists.size(); ++k) {
        TInputStream& ist = ists[k];
        if (!ist.Idle || ist.St->discard == AVDISCARD_ALL || ist.St->codecpar->codec_type != ost.Type) continue;
        if (o.ProgramId && !InProgram(inputFiles_[size_t(ist.FileIndex)].Ctx, o.ProgramId, ist.StreamIndex))
          continue;
        int64_t frames = std::max<int64_t>(0, ist.St->nb_frames);
        if (!(ist.St->disposition & AV_DISPOSITION_ATTACHED_PIC)) frames += int64_t(1) << 40;
        if (frames > bestFrames) {
          bestFrames = frames;
          source = int(k);
        }
      }
      if (source < 0 && o.ProgramId == 0) {
        for (size_t k = 0; k < ists.size(); ++k)
          if (ists[k].St->discard != AVDISCARD_ALL && ists[k].St->codecpar->codec_type == ost.Type)
            source = int(k);
      }
      if (source < 0) {
        lib::av_dump_format(of.Ctx, ost.FileIndex, of.LibraryName.c_str(), 1);
        throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)",
                                     ost.FileIndex, ost.Index, TypeName(ost.Type)));
      }
      ost.SyncIndex = source;
    }
    ost.SourceIndex = source;
    ists[size_t(source)].Idle = false;
  }

  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    TInputStream& ist = ists[size_t(ost.SourceIndex)];
    lib::av_dict_copy(&ost.St->metadata, ist.St->metadata, AV_DICT_DONT_OVERWRITE);
    ost.St->disposition = ist.St->disposition;
    if (!ost.StreamCopy) {
      // An encoded stream is an ordinary video: a cover picture becomes a
      // one-picture video (muxers take covers only as images), and turned
      // pictures come out upright, so no turn is recorded.
      ost.St->disposition &= ~(AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_TIMED_THUMBNAILS);
      lib::av_dict_set(&ost.St->metadata, "rotate", nullptr, 0);
    }
    if (ost.StreamCopy) {
      SetupCopy(ost, ist);
    } else {
      ost.Enc->bits_per_raw_sample = ist.St->codecpar->bits_per_raw_sample;
      ost.Enc->chroma_sample_location = ist.St->codecpar->chroma_location;
      SetupEncode(ost, ist);
    }
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
      const AVCodecParameters* par = ost.St->codecpar;
      int w = ost.StreamCopy ? par->width : ost.Enc->width;
      int h = ost.StreamCopy ? par->height : ost.Enc->height;
      int64_t size = 6LL * w * h + 200;
      if (size > run_.BitBufferSize && size < INT_MAX) run_.BitBufferSize = int(size);
    }
  }

  DecideAutoDeinterlace();
  ranOverlapped_ = CanOverlap();
  // An overlapped run opens its encoders on the output side while the
  // reading side already decodes (RunOverlapped): the decoders take a while
  // to fill their threads with the first pictures, and opening the encoders
  // takes about as long, so the two overlap.
  if (!ranOverlapped_) OpenEncoders();
  OpenDecoders();

  for (TInputStream& ist : ists) {
    AVRational rate = ist.St->avg_frame_rate;
    int delay = ist.St->codecpar->video_delay;
    ist.Pts = rate.num && rate.den && delay ? -int64_t(delay) * 1000000 * rate.den / rate.num : 0;
    ist.NextPts = kNoTime;
    ist.IsStart = true;
  }

  for (const TMetaDataMap& m : o.MetaDataMaps) {
    if (m.OutFile < 0 || m.OutFile >= int(outputFiles_.size()))
      throw FFmpegException(
          Format("Invalid output file index %d map_meta_data(%d,%d)", m.OutFile, m.OutFile, m.InFile));
    if (m.InFile < 0 || m.InFile >= int(inputFiles_.size()))
      throw FFmpegException(
          Format("Invalid input file index %d map_meta_data(%d,%d)", m.InFile, m.OutFile, m.InFile));
    lib::av_dict_copy(&outputFiles_[size_t(m.OutFile)].Ctx->metadata, inputFiles_[size_t(m.InFile)].Ctx->metadata,
                      AV_DICT_DONT_OVERWRITE);
  }

  // Chapters of the inputs, cut to the recorded range.
  for (TInputFile& in : inputFiles_) {
    if (!in.Ctx->nb_chapters) continue;
    for (TOutputFile& of : outputFiles_) {
      if (of.Shared) continue;
      for (unsigned c = 0; c < in.Ctx->nb_chapters; ++c) {
        const AVChapter* ch = in.Ctx->chapters[c];
        int64_t offset = lib::av_rescale_q(o.StartTime - in.TsOffset, AV_TIME_BASE_Q, ch->time_base);
        int64_t limit = o.RecordingTime == kUnlimitedTime
                            ? INT64_MAX
                            : lib::av_rescale_q(o.RecordingTime, AV_TIME_BASE_Q, ch->time_base);
        if (ch->end < offset) continue;
        if (limit != INT64_MAX && ch->start > limit + offset) break;
        auto* out = static_cast<AVChapter*>(lib::av_mallocz(sizeof(AVChapter)));
        if (!out) throw FFmpegException("av_mallocz fail");
        out->id = ch->id;
        out->time_base = ch->time_base;
        out->start = std::max<int64_t>(0, ch->start - offset);
        out->end = limit == INT64_MAX ? ch->end - offset : std::min(limit, ch->end - offset);
        lib::av_dict_copy(&out->metadata, ch->metadata, 0);
        auto** list = static_cast<AVChapter**>(
            lib::av_realloc(of.Ctx->chapters, sizeof(AVChapter*) * (of.Ctx->nb_chapters + 1)));
        if (!list) {
          lib::av_dict_free(&out->metadata);
          lib::av_free(out);
          throw FFmpegException("av_mallocz fail");
        }
        of.Ctx->chapters = list;
        of.Ctx->chapters[of.Ctx->nb_chapters++] = out;
      }
    }
  }

  if (!ranOverlapped_) StartOutputs();
}

void TCustomFFmpeg::StartOutputs() {
  for (auto& entry : outputStreams_) InitBitstreamFilters(*entry);
  WriteHeaders();
  LogStreamMapping();
  // The encoder may have refused the aspect it was given.
  for (auto& entry : outputStreams_)
    if (entry->Enc) entry->EncoderAspect = entry->Enc->sample_aspect_ratio;
}

void TCustomFFmpeg::SetupCopy(TOutputStream& ost, TInputStream& ist) {
  const AVCodecParameters* in = ist.St->codecpar;
  if (in->extradata_size > INT_MAX - 8) throw FFmpegException("icodec.extradata_size is invalid (too large)");
  if (ost.Type == AVMEDIA_TYPE_VIDEO) {
    if (HookRelay) throw FFmpegException("-vcodec copy and CustomHook are incompatible (frames are not decoded)");
    if (opt_.VideoHookAdded) throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
    int previewFlags;
    {
      std::lock_guard<std::mutex> guard(PreviewLock());
      previewFlags = PreviewFlags;
    }
    if (previewFlags)
      throw FFmpegException("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
  } else if (ost.Type == AVMEDIA_TYPE_AUDIO) {
    if (opt_.AudioVolume != 256)
      throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
  } else if (ost.Type != AVMEDIA_TYPE_SUBTITLE) {
    throw FFmpegException("invalid codec_type of output stream");
  }
  AVCodecParameters* out = ost.St->codecpar;
  uint32_t requestedTag = ost.Enc->codec_tag;
  if (lib::avcodec_parameters_copy(out, in) < 0) throw FFmpegException("av_mallocz fail");
  // Keep the source's tag only where the muxer would read it as the same codec.
  const AVOutputFormat* fmt = outputFiles_[size_t(ost.FileIndex)].Ctx->oformat;
  if (requestedTag) {
    out->codec_tag = requestedTag;
  } else if (fmt->codec_tag && in->codec_tag &&
             lib::av_codec_get_id(fmt->codec_tag, in->codec_tag) != in->codec_id &&
             lib::av_codec_get_tag(fmt->codec_tag, in->codec_id) != 0) {
    out->codec_tag = 0;
  }
  // What the stream says about its display (a recorded turn above all)
  // stays with the copied pictures.
  for (int i = 0; i < ist.St->nb_side_data; ++i) {
    const AVPacketSideData& data = ist.St->side_data[i];
    uint8_t* copy = lib::av_stream_new_side_data(ost.St, data.type, data.size);
    if (!copy) throw FFmpegException("av_mallocz fail");
    std::memcpy(copy, data.data, data.size);
  }
  ost.St->time_base = ist.St->time_base;
  ost.St->avg_frame_rate = ist.St->avg_frame_rate;
  ost.St->r_frame_rate = ist.St->r_frame_rate;
  if (ost.Type == AVMEDIA_TYPE_VIDEO) {
    // The option state describes the upright picture; copied pictures stay
    // as stored, so a quarter turn's pixel shape is turned back.
    AVRational& sar = ost.St->sample_aspect_ratio;
    if (sar.num && RotationSwapsSize(StreamDisplayRotation(ist.St))) sar = AVRational{sar.den, sar.num};
    if (ost.St->sample_aspect_ratio.num)
      out->sample_aspect_ratio = ost.St->sample_aspect_ratio;
    else
      ost.St->sample_aspect_ratio = out->sample_aspect_ratio;
  } else if (ost.Type == AVMEDIA_TYPE_AUDIO) {
    if ((out->block_align == 1 && out->codec_id == AV_CODEC_ID_MP3) || out->codec_id == AV_CODEC_ID_AC3)
      out->block_align = 0;
  }
}

void TCustomFFmpeg::SetupEncode(TOutputStream& ost, TInputStream& ist) {
  AVCodecContext* enc = ost.Enc;
  const AVCodecParameters* in = ist.St->codecpar;
  switch (ost.Type) {
    case AVMEDIA_TYPE_VIDEO: {
      if (enc->pix_fmt == AV_PIX_FMT_NONE)
        throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
      const TOptionState& o = opt_;
      // A stream with a recorded turn goes through the filter graph, which
      // turns its pictures upright; sizes and bands are those of the
      // upright picture.
      const int rotation = StreamDisplayRotation(ist.St);
      const bool graph = useVideoFilters_ || rotation != 0;
      const int shownW = RotationSwapsSize(rotation) ? in->height : in->width;
      const int shownH = RotationSwapsSize(rotation) ? in->width : in->height;
      ost.TopBand = o.FrameTopBand;
      ost.BottomBand = o.FrameBottomBand;
      ost.LeftBand = o.FrameLeftBand;
      ost.RightBand = o.FrameRightBand;
      if (ost.SizeFromInput) FitSizeToEncoder(ost, shownW, shownH);
      ost.OriginalTopBand = ost.TopBand;
      ost.OriginalBottomBand = ost.BottomBand;
      ost.OriginalLeftBand = ost.LeftBand;
      ost.OriginalRightBand = ost.RightBand;
      ost.VideoCrop = ost.TopBand || ost.BottomBand || ost.LeftBand || ost.RightBand;
      int inW = shownW - ost.LeftBand - ost.RightBand;
      int inH = shownH - ost.TopBand - ost.BottomBand;
      AVPixelFormat inFmt = AVPixelFormat(in->format);
      ost.VideoResample = enc->width != inW || enc->height != inH || enc->pix_fmt != inFmt;
      if (ost.VideoResample) {
        ost.ResampleFrame = lib::av_frame_alloc();
        if (!ost.ResampleFrame) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        ost.ResampleFrame->format = enc->pix_fmt;
        ost.ResampleFrame->width = enc->width;
        ost.ResampleFrame->height = enc->height;
        if (lib::av_frame_get_buffer(ost.ResampleFrame, 0) < 0)
          throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        int64_t flags = o.SwsFlags;
        lib::av_opt_get_int(optionContext_->Scaler, "sws_flags", 0, &flags);
        opt_.SwsFlags = int32_t(flags);
        if (inW > 0 && inH > 0 && inFmt != AV_PIX_FMT_NONE)
          ost.ImgResampleCtx = lib::sws_getContext(inW, inH, inFmt, enc->width, enc->height, enc->pix_fmt,
                                                   int(flags), nullptr, nullptr, nullptr);
        if (!ost.ImgResampleCtx) throw FFmpegException("Cannot get resampling context");
        if (!graph) {
          ost.OriginalWidth = in->width;
          ost.OriginalHeight = in->height;
        }
        enc->bits_per_raw_sample = 0;
      }
      ost.ResampleWidth = inW;
      ost.ResampleHeight = inH;
      ost.ResamplePixFmt = inFmt;
      ost.EncodingNeeded = true;
      ist.DecodingNeeded = true;
      if (graph && ConfigureFilters(ist, ost) < 0) throw FFmpegException("Error opening filters!");
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      if (enc->sample_fmt != AV_SAMPLE_FMT_NONE && enc->ch_layout.nb_channels > 0) {
        ost.Fifo = lib::av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024);
        if (!ost.Fifo) throw FFmpegException("av_fifo_alloc fail");
      }
      ost.ReformatPair = -1;
      ost.AudioResample = enc->sample_rate != in->sample_rate || opt_.AudioSyncMethod > 1;
      ost.EncodingNeeded = true;
      ist.DecodingNeeded = true;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      ost.EncodingNeeded = true;
      ist.DecodingNeeded = true;
      break;
    default:
      throw FFmpegException("invalid codec_type of output stream");
  }

  if (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) {
    int number = 0;
    for (auto& other : outputStreams_) {
      if (other.get() == &ost) break;
      ++number;
    }
    std::string prefix = opt_.PassLogFilePrefix.empty() ? "ffmpeg2pass" : opt_.PassLogFilePrefix;
    ost.LogFileName = Format("%s-%d.log", prefix.c_str(), number).substr(0, 1023);
    if (enc->flags & AV_CODEC_FLAG_PASS1) {
      ost.LogFile = std::fopen(ost.LogFileName.c_str(), "wb");
      if (!ost.LogFile)
        throw FFmpegException(Format("Cannot write log file %s for pass-1 encoding", ost.LogFileName.c_str()));
    } else {
      FILE* f = std::fopen(ost.LogFileName.c_str(), "rb");
      if (!f)
        throw FFmpegException(
            Format("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", ost.LogFileName.c_str()));
      std::string text;
      const TLogRead result = ReadLogFile(f, text);
      std::fclose(f);
      if (result == lrNoMemory)
        throw FFmpegException(Format("Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding",
                                     ost.LogFileName.c_str()));
      if (result == lrFailed)
        throw FFmpegException(
            Format("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", ost.LogFileName.c_str()));
      ost.StatsIn = std::move(text);
      enc->stats_in = ost.StatsIn.data();
    }
  }
}

void TCustomFFmpeg::OpenEncoders() {
  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    if (!ost.EncodingNeeded) continue;
    const AVCodec* codec = ost.Encoder ? ost.Encoder : lib::avcodec_find_encoder(ost.Enc->codec_id);
    if (!codec) {
      LogStreamMapping();
      std::string text = Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)", ost.Enc->codec_id,
                                ost.FileIndex, ost.Index, TypeName(ost.Type));
      Log(this, llError, text);
      throw FFmpegException(text);
    }
    AVDictionary* options = nullptr;
    lib::av_dict_copy(&options, ost.EncoderOptions, 0);
    int ret;
    {
      std::lock_guard<std::mutex> guard(CodecLock());
      ret = lib::avcodec_open2(ost.Enc, codec, &options);
    }
    lib::av_dict_free(&options);
    if (ret < 0) {
      std::string text = Format(
          "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters such as bit_rate, "
          "rate, width or height. Please check error log message to find out more detail information.",
          ost.FileIndex, ost.Index, TypeName(ost.Type));
      Log(this, llError, text);
      throw FFmpegException(text);
    }
    ost.EncoderOpen = true;
    run_.OpenedEncoders.push_back(ost.Enc);
    run_.ExtraSize += ost.Enc->extradata_size;
    if (lib::avcodec_parameters_from_context(ost.St->codecpar, ost.Enc) < 0)
      throw FFmpegException("avcodec_parameters_from_context failed");
    ost.St->time_base = ost.Enc->time_base;
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
      ost.St->avg_frame_rate = ost.FrameRate;
      ost.St->sample_aspect_ratio = ost.Enc->sample_aspect_ratio;
    }
    if (ost.Type == AVMEDIA_TYPE_AUDIO && ost.Fifo && ost.Enc->sample_fmt != AV_SAMPLE_FMT_NONE) {
      // The encoder may have settled on another format or layout.
      lib::av_audio_fifo_free(ost.Fifo);
      ost.Fifo = lib::av_audio_fifo_alloc(ost.Enc->sample_fmt, ost.Enc->ch_layout.nb_channels, 1024);
      if (!ost.Fifo) throw FFmpegException("av_fifo_alloc fail");
    }
  }
}

void TCustomFFmpeg::OpenDecoders() {
  // A run that overlaps its stages lowers the decoders' threads (started by
  // the opening, under the codec lock, so no other codec starts threads
  // meanwhile; this run's encoders open after its decoders).
  const bool lowerThreads = ranOverlapped_;
  for (TInputStream& ist : run_.InputStreams) {
    if (!ist.DecodingNeeded) continue;
    AVMediaType type = ist.St->codecpar->codec_type;
    const AVCodec* codec = ist.ForcedDecoder ? ist.ForcedDecoder : lib::avcodec_find_decoder(ist.St->codecpar->codec_id);
    if (!codec)
      throw FFmpegException(Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                   ist.St->codecpar->codec_id, ist.FileIndex, ist.StreamIndex, TypeName(type)));
    int ret;
    std::vector<int> started;
    {
      std::lock_guard<std::mutex> guard(CodecLock());
      const std::vector<int> before = lowerThreads ? platform::ProcessThreadIds() : std::vector<int>();
      ret = lib::avcodec_open2(ist.Dec, codec, nullptr);
      if (lowerThreads) started = platform::ThreadIdsNotIn(before);
    }
    platform::LowerThreadsPriority(started, kHelperNicenessStep);
    run_.DecoderThreads.insert(run_.DecoderThreads.end(), started.begin(), started.end());
    if (ret < 0)
      throw FFmpegException(Format("Error while opening decoder for input stream #%d.%d (%s)", ist.FileIndex,
                                   ist.StreamIndex, TypeName(type)));
    ist.DecoderOpen = true;
    run_.OpenedDecoders.push_back(ist.Dec);
  }
}

void TCustomFFmpeg::InitBitstreamFilters(TOutputStream& ost) {
  const AVCodecParameters* par = ost.St->codecpar;
  AVRational tb = ost.St->time_base;
  ost.BsfTimeBase = tb;
  for (const AVBitStreamFilter* filter : ost.BsfChain) {
    AVBSFContext* bsf = nullptr;
    if (lib::av_bsf_alloc(filter, &bsf) < 0)
      throw FFmpegException(Format("Error initializing bitstream filter %s", filter->name));
    ost.Bsfs.push_back(bsf);
    lib::avcodec_parameters_copy(bsf->par_in, par);
    bsf->time_base_in = tb;
    int ret = lib::av_bsf_init(bsf);
    if (ret < 0)
      throw FFmpegException(
          Format("Error initializing bitstream filter %s: %s", filter->name, engine::LibraryErrorText(ret).c_str()));
    par = bsf->par_out;
    tb = bsf->time_base_out;
  }
  if (!ost.Bsfs.empty()) {
    lib::avcodec_parameters_copy(ost.St->codecpar, par);
    if (ost.Type == AVMEDIA_TYPE_VIDEO && ost.St->sample_aspect_ratio.num)
      ost.St->codecpar->sample_aspect_ratio = ost.St->sample_aspect_ratio;
  }
}

void TCustomFFmpeg::WriteHeaders() {
  bool allRtp = true;
  for (size_t f = 0; f < outputFiles_.size(); ++f) {
    TOutputFile& of = outputFiles_[f];
    if (of.Shared) continue;
    int ret = lib::avformat_write_header(of.Ctx, &of.MuxerOptions);
    if (ret < 0) {
      LogStreamMapping();
      std::string text = Format("Could not write header for output file #%d (incorrect codec parameters ?)", int(f));
      Log(this, llError, text + ": " + engine::LibraryErrorText(ret));
      throw FFmpegException(text);
    }
    of.HeaderWritten = true;
    if (std::strcmp(of.Ctx->oformat->name, "rtp") != 0) allRtp = false;
  }
  if (allRtp && !outputFiles_.empty()) {
    std::vector<AVFormatContext*> contexts;
    for (TOutputFile& of : outputFiles_)
      if (!of.Shared) contexts.push_back(of.Ctx);
    char sdp[2048] = {};
    lib::av_sdp_create(contexts.data(), int(contexts.size()), sdp, sizeof sdp);
    Log(this, llInfo, "SDP:\r\n" + engine::Trim(sdp));
  }
}

void TCustomFFmpeg::LogStreamMapping() {
  for (size_t f = 0; f < outputFiles_.size(); ++f)
    if (!outputFiles_[f].Shared)
      lib::av_dump_format(outputFiles_[f].Ctx, int(f), outputFiles_[f].LibraryName.c_str(), 1);
  if (Verbose < 0) return;
  Log(this, llVerbose, "Stream mapping:");
  for (auto& entry : outputStreams_) {
    const TOutputStream& ost = *entry;
    if (ost.SourceIndex < 0) continue;
    const TInputStream& ist = run_.InputStreams[size_t(ost.SourceIndex)];
    std::string line = Format("  Stream #%d.%d -> #%d.%d (%s)", ist.FileIndex, ist.StreamIndex, ost.FileIndex,
                              ost.Index, TypeName(ost.Type));
    if (ost.SyncIndex >= 0 && ost.SyncIndex != ost.SourceIndex) {
      const TInputStream& sync = run_.InputStreams[size_t(ost.SyncIndex)];
      line += Format(" [sync #%d.%d (%s)]", sync.FileIndex, sync.StreamIndex,
                     TypeName(sync.St->codecpar->codec_type));
    }
    Log(this, llVerbose, line);
  }
}

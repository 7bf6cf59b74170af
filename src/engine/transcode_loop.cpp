// The transcoding run: reads packets from the inputs in output-time order,
// corrects their timestamps, decodes them for the encoding outputs or copies
// them into the copying outputs, reports progress, and at the end flushes
// decoders and encoders and writes the trailers. What the reading side
// produces reaches the outputs as stage items (stage_pipeline.h): at once,
// or through the queue to the output side when the run overlaps its stages
// (stage_run.cpp).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "engine/stage_pipeline.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

constexpr AVRational kMicroseconds = {1, AV_TIME_BASE};
constexpr int kNoPacketSleepMicroseconds = 10000;

// An input whose packets stop this much before its declared duration ended
// early: at least half a second, and 2 % of long files (stream ends differ
// a little in complete files too).
int64_t EarlyEndTolerance(int64_t duration) { return std::max<int64_t>(500000, duration / 50); }

// How long the file says it is, µs; 0 when it does not say. A duration
// estimated from the bit rate and the file size proves nothing. An AVI
// whose index was lost (cut short) is measured by the demuxer from what
// it found, but its header still counts the frames of the whole file.
int64_t StatedDuration(const AVFormatContext* ctx) {
  int64_t stated = 0;
  if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0 &&
      ctx->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
    stated = ctx->duration;
  if (std::strcmp(ctx->iformat->name, "avi") != 0) return stated;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVRational rate = st->r_frame_rate;
    if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || st->nb_frames <= 0 || rate.num <= 0 ||
        rate.den <= 0)
      continue;
    stated =
        std::max(stated, lib::av_rescale_q(st->nb_frames, AVRational{rate.den, rate.num}, kMicroseconds));
  }
  return stated;
}

// The end of a packet just read, µs from the file's start; kNoTime when it
// carries no time.
int64_t PacketEnd(const AVFormatContext* ctx, const AVPacket* pkt) {
  const int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (t == AV_NOPTS_VALUE || pkt->stream_index < 0 || unsigned(pkt->stream_index) >= ctx->nb_streams)
    return kNoTime;
  const AVRational tb = ctx->streams[pkt->stream_index]->time_base;
  int64_t end = lib::av_rescale_q(t + std::max<int64_t>(pkt->duration, 0), tb, kMicroseconds);
  if (ctx->start_time != AV_NOPTS_VALUE) end -= ctx->start_time;
  return end;
}

}  // namespace

void TCustomFFmpeg::Transcode() {
  try {
    // Only the quiet-machine check of an overlapped run reads it.
    run_.Began = OverlapStages && HelperClass == THelperClass::IdleWhenQuiet ? LoadSource.Sample()
                                                                           : platform::TCpuSample();
    SetupMapping();
    RunLoop();
  } catch (...) {
    FreeRun();
    throw;
  }
  FreeRun();
}

void TCustomFFmpeg::RunLoop() {
  run_.TimerStart = run_.LastReportTime = lib::av_gettime();
  run_.NoPacketCount = 0;
  for (TInputFile& f : inputFiles_) f.NoPacket = false;
  run_.Packet = lib::av_packet_alloc();
  if (!run_.Packet) throw FFmpegException("av_packet_alloc failed");
  // Made now, before a second thread may reach it.
  TaskPathState(run_);

  if (ranOverlapped_)
    RunOverlapped();
  else
    ReadInputs();

  const std::string failure = FinishOutputs();
  PrintReport(-1, true);
  CloseCodecs();
  NoteEarlyInputEnds();
  if (!failure.empty()) throw FFmpegException(failure);
}

void TCustomFFmpeg::ReportIfDue(int fileIndex) {
  const int64_t now = lib::av_gettime();
  if (now - run_.LastReportTime < ReportInterval.load()) return;
  run_.LastReportTime = now;
  PrintReport(fileIndex, false);
}

void TCustomFFmpeg::ReadInputs() {
  TOptionState& o = opt_;
  AVPacket* pkt = run_.Packet;
  // Beside an output side of its own, this side reads nothing of the
  // outputs: the run then has one input and no limits that count output.
  const bool overlapped = stageQueue_ != nullptr;

  while (!StopRequested()) {
    // A paused task waits here, holding no lock. Beside an output side, this
    // side halts when the queue is full instead: the output side pauses,
    // and a failure there ends this side at once.
    if (!overlapped) SafePoint();
    if (StopRequested()) break;

    // The input whose output stream lags most (or, with isync, whose input
    // is furthest behind).
    double minInput = 1e100, minOutput = 1e100;
    int fileIndex = -1;
    for (auto& entry : outputStreams_) {
      TOutputStream& ost = *entry;
      TInputStream& ist = run_.InputStreams[size_t(ost.SourceIndex)];
      TInputFile& file = inputFiles_[size_t(ist.FileIndex)];
      if (ist.PastRecordingTime || file.NoPacket) continue;
      if (!file.Eof) {
        const double inputTime = double(ist.Pts);
        if (inputTime < minInput) {
          minInput = inputTime;
          if (o.InputSync || overlapped) fileIndex = ist.FileIndex;
        }
        if (!overlapped && ost.CurrentTime < minOutput) {
          minOutput = ost.CurrentTime;
          if (!o.InputSync) fileIndex = ist.FileIndex;
        }
      }
      if (overlapped) continue;
      int kind = ost.Type == AVMEDIA_TYPE_SUBTITLE ? 3 : int(ost.Type);
      if (kind >= 0 && kind < 4 && ost.FrameNumber >= o.MaxFrames[kind]) {
        fileIndex = -1;
        break;
      }
    }
    if (fileIndex < 0) {
      if (run_.NoPacketCount) {
        run_.NoPacketCount = 0;
        for (TInputFile& f : inputFiles_) f.NoPacket = false;
        lib::av_usleep(kNoPacketSleepMicroseconds);
        continue;
      }
      break;
    }

    if (!overlapped && o.LimitFileSize && !outputFiles_.empty() && outputFiles_[0].Ctx->pb &&
        lib::avio_seek(outputFiles_[0].Ctx->pb, 0, SEEK_CUR) > o.LimitFileSize)
      break;

    TInputFile& file = inputFiles_[size_t(fileIndex)];
    int ret = lib::av_read_frame(file.Ctx, pkt);
    if (ret == AVERROR(EAGAIN)) {
      file.NoPacket = true;
      ++run_.NoPacketCount;
      continue;
    }
    if (ret < 0) {
      file.Eof = true;
      if (o.Shortest) break;
      continue;
    }
    run_.NoPacketCount = 0;
    for (TInputFile& f : inputFiles_) f.NoPacket = false;
    const int64_t packetEnd = PacketEnd(file.Ctx, pkt);
    if (packetEnd != kNoTime && (file.ReadEnd == kNoTime || packetEnd > file.ReadEnd))
      file.ReadEnd = packetEnd;

    if (o.PktDump) lib::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt, o.HexDump, file.Ctx->streams[pkt->stream_index]);

    bool keep = pkt->stream_index < file.StreamCount &&
                !run_.InputStreams[size_t(file.FirstStream + pkt->stream_index)].Idle;
    if (keep) {
      TInputStream& ist = run_.InputStreams[size_t(file.FirstStream + pkt->stream_index)];
      AVRational tb = ist.St->time_base;
      if (file.TsOffset) {
        int64_t offset = lib::av_rescale_q(file.TsOffset, kMicroseconds, tb);
        if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += offset;
        if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += offset;
      }
      double scale = pkt->stream_index < int(file.TsScale.size()) ? file.TsScale[size_t(pkt->stream_index)] : 0.0;
      if (scale != 0) {
        if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = std::llround(double(pkt->pts) * scale);
        if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = std::llround(double(pkt->dts) * scale);
      }
      // Timestamp jumps of formats that allow them are taken out of the file's offset.
      if (pkt->dts != AV_NOPTS_VALUE && ist.NextPts != kNoTime && (file.Ctx->iformat->flags & AVFMT_TS_DISCONT)) {
        int64_t dtsUs = lib::av_rescale_q(pkt->dts, tb, kMicroseconds);
        int64_t delta = dtsUs - ist.NextPts;
        if ((std::llabs(delta) > int64_t(double(o.DtsDeltaThreshold) * AV_TIME_BASE) || dtsUs + 1 < ist.Pts) &&
            !o.CopyTs) {
          file.TsOffset -= delta;
          int64_t shift = lib::av_rescale_q(delta, kMicroseconds, tb);
          pkt->dts -= shift;
          if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= shift;
          if (Verbose > 2)
            LogFmt(this, llVerbose, "timestamp discontinuity %lld, new offset= %lld", (long long)delta,
                   (long long)file.TsOffset);
        }
      }
      // A packet whose presentation time is already past a jump that its
      // decoding time has not reached keeps its usual distance to the latter.
      if ((file.Ctx->iformat->flags & AVFMT_TS_DISCONT) && !o.CopyTs && pkt->pts != AV_NOPTS_VALUE &&
          pkt->dts != AV_NOPTS_VALUE) {
        int64_t gap = pkt->pts - pkt->dts;
        if (std::llabs(lib::av_rescale_q(gap, tb, kMicroseconds)) > int64_t(double(o.DtsDeltaThreshold) * AV_TIME_BASE))
          pkt->pts = pkt->dts + ist.PtsDtsGap;
        else
          ist.PtsDtsGap = gap;
      }
      if (o.RecordingTime != kUnlimitedTime && pkt->pts != AV_NOPTS_VALUE &&
          lib::av_compare_ts(pkt->pts, tb, o.RecordingTime + o.StartTime, kMicroseconds) >= 0) {
        ist.PastRecordingTime = true;
      } else if (ProcessPacket(ist, pkt) < 0) {
        std::string text = Format("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.StreamIndex,
                                  lib::av_get_media_type_string(ist.St->codecpar->codec_type));
        lib::av_packet_unref(pkt);
        if (o.ExitOnError) throw FFmpegException(text);
        if (Verbose >= 0) Log(this, llVerbose, text);
        continue;
      }
    }
    lib::av_packet_unref(pkt);
    if (!overlapped) ReportIfDue(fileIndex);
  }

  // Whatever the decoders and encoders still hold goes out, also after a
  // stop; a quick stop leaves it and only closes the files properly.
  for (TInputStream& ist : run_.InputStreams) {
    if (skipFlush_) break;
    if (ist.DecodingNeeded && !ist.Flushed) ProcessPacket(ist, nullptr);
  }
}

std::string TCustomFFmpeg::FinishOutputs() {
  std::string failure;
  for (TOutputFile& of : outputFiles_) {
    if (of.Shared || !of.HeaderWritten || of.TrailerWritten) continue;
    int ret = lib::av_write_trailer(of.Ctx);
    of.TrailerWritten = true;
    // Buffered bytes go out now, so that a full disk shows here.
    if (ret >= 0 && of.Ctx->pb) {
      lib::avio_flush(of.Ctx->pb);
      ret = of.Ctx->pb->error;
    }
    const std::string name = engine::WideToUtf8(of.FileName);
    if (ret < 0) {
      if (failure.empty())
        failure = Format("Error writing %s: %s", name.c_str(), engine::LibraryErrorText(ret).c_str());
      continue;
    }
    int64_t packets = 0;
    for (const auto& ost : outputStreams_)
      if (outputFiles_[size_t(ost->FileIndex)].Ctx == of.Ctx) packets += ost->PacketsMuxed;
    if (packets == 0) {
      // Nothing to play: not kept, and a failure unless the user stopped it.
      if (!StopRequested() && failure.empty())
        failure = Format(
            "Nothing was written to %s: no packet reached the output (the start time lies beyond "
            "the input's end, the duration is 0, or nothing could be decoded)",
            name.c_str());
      continue;
    }
    of.Complete = true;
  }
  return failure;
}

void TCustomFFmpeg::NoteEarlyInputEnds() {
  inputEndNote_.clear();
  if (StopRequested()) return;
  for (const TInputFile& file : inputFiles_) {
    const AVFormatContext* ctx = file.Ctx;
    if (!file.Eof || file.ReadEnd == kNoTime) continue;
    const int64_t stated = StatedDuration(ctx);
    if (stated <= 0 || file.ReadEnd + EarlyEndTolerance(stated) >= stated) continue;
    const std::string note = Format("input ended at %.1f s of %.1f s",
                                    double(std::max<int64_t>(file.ReadEnd, 0)) / 1e6, double(stated) / 1e6);
    LogFmt(this, llWarning, "%s: %s (the file is cut short or damaged); converted what is there",
           engine::WideToUtf8(file.FileName).c_str(), note.c_str());
    if (!inputEndNote_.empty()) inputEndNote_ += "; ";
    inputEndNote_ += note;
  }
}

int TCustomFFmpeg::ProcessPacket(TInputStream& ist, const AVPacket* pkt) {
  const TOptionState& o = opt_;
  AVRational tb = ist.St->time_base;
  AVMediaType type = ist.St->codecpar->codec_type;
  int index = int(&ist - run_.InputStreams.data());
  if (ist.NextPts == kNoTime) ist.NextPts = ist.Pts;
  if (pkt && pkt->dts != AV_NOPTS_VALUE) ist.NextPts = ist.Pts = lib::av_rescale_q(pkt->dts, tb, kMicroseconds);
  ist.Pts = ist.NextPts;

  if (ist.DecodingNeeded && ist.DecoderOpen) {
    if (type == AVMEDIA_TYPE_SUBTITLE) {
      if (pkt) {
        AVSubtitle sub{};
        int got = 0;
        AVPacket* copy = lib::av_packet_clone(pkt);
        int ret = copy ? lib::avcodec_decode_subtitle2(ist.Dec, &sub, &got, copy) : AVERROR(ENOMEM);
        lib::av_packet_free(&copy);
        if (ret < 0) return -1;
        if (got) {
          try {
            if (o.StartTime == 0 || ist.Pts >= o.StartTime) {
              TStageItem item;
              item.Kind = TStageKind::Subtitle;
              item.Input = index;
              item.Pts = ist.Pts;
              Emit(item, &sub);
            }
          } catch (...) {
            lib::avsubtitle_free(&sub);
            throw;
          }
          lib::avsubtitle_free(&sub);
        }
      }
    } else if (type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO) {
      int ret = lib::avcodec_send_packet(ist.Dec, pkt);
      if (ret < 0 && ret != AVERROR_EOF && pkt) return -1;
      if (!ist.DecodedFrame) ist.DecodedFrame = lib::av_frame_alloc();
      if (!ist.DecodedFrame) throw FFmpegException("av_frame_alloc failed");
      int frames = 0;
      while (true) {
        ret = lib::avcodec_receive_frame(ist.Dec, ist.DecodedFrame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
        if (ret < 0) return -1;
        if (++frames == 2 && (Verbose > 1 || (!ist.WarnedMultipleFrames && Verbose > 0))) {
          LogFmt(this, llError, "Multiple frames in a packet from stream %d", ist.StreamIndex);
          ist.WarnedMultipleFrames = true;
        }
        HandleDecodedFrame(ist, ist.DecodedFrame);
        lib::av_frame_unref(ist.DecodedFrame);
      }
    }
  } else if (pkt) {
    // Not decoded: the clock advances by the packet's length.
    int64_t duration = 0;
    const AVCodecParameters* par = ist.St->codecpar;
    if (pkt->duration > 0)
      duration = lib::av_rescale_q(pkt->duration, tb, kMicroseconds);
    else if (type == AVMEDIA_TYPE_AUDIO && par->frame_size > 0 && par->sample_rate > 0)
      duration = int64_t(par->frame_size) * AV_TIME_BASE / par->sample_rate;
    else if (type == AVMEDIA_TYPE_VIDEO && ist.St->avg_frame_rate.num > 0)
      duration = lib::av_rescale_q(1, AVRational{ist.St->avg_frame_rate.den, ist.St->avg_frame_rate.num},
                                   kMicroseconds);
    ist.NextPts += duration;
  }

  if (pkt && (o.StartTime == 0 || ist.Pts >= o.StartTime)) {
    const bool copied = std::any_of(outputStreams_.begin(), outputStreams_.end(), [&](const auto& ost) {
      return ost->SourceIndex == index && ost->StreamCopy;
    });
    if (copied) {
      TStageItem item;
      item.Kind = TStageKind::CopiedPacket;
      item.Input = index;
      item.Packet = const_cast<AVPacket*>(pkt);
      item.Pts = ist.Pts;
      Emit(item);
    }
  }

  if (!pkt) {
    // End of stream: what the filter graph holds, then what the output
    // paths and encoders hold.
    if (type == AVMEDIA_TYPE_VIDEO && ist.DecodingNeeded) DeliverFilteredPictures(ist, true);
    TStageItem item;
    item.Kind = TStageKind::StreamEnd;
    item.Input = index;
    item.Pts = ist.Pts;
    Emit(item);
    ist.Flushed = true;
  }
  return 0;
}

void TCustomFFmpeg::HandleDecodedFrame(TInputStream& ist, AVFrame* frame) {
  const TOptionState& o = opt_;
  AVMediaType type = ist.St->codecpar->codec_type;
  // The frame's own time when it has one, else the running clock.
  int64_t ts = frame->best_effort_timestamp;
  if (ts != AV_NOPTS_VALUE) ist.Pts = lib::av_rescale_q(ts, ist.St->time_base, kMicroseconds);
  else ist.Pts = ist.NextPts;
  int64_t duration = 0;
  if (type == AVMEDIA_TYPE_AUDIO) {
    if (frame->sample_rate > 0) duration = int64_t(frame->nb_samples) * AV_TIME_BASE / frame->sample_rate;
  } else if (frame->pkt_duration > 0) {
    duration = lib::av_rescale_q(frame->pkt_duration, ist.St->time_base, kMicroseconds);
  } else if (ist.St->avg_frame_rate.num > 0) {
    duration = lib::av_rescale_q(1, AVRational{ist.St->avg_frame_rate.den, ist.St->avg_frame_rate.num}, kMicroseconds);
  }
  ist.NextPts = ist.Pts + duration;

  if (type == AVMEDIA_TYPE_VIDEO) {
    ist.Quality = frame->quality;
    PreProcessVideoFrame(ist, frame);
  } else if (o.AudioVolume != 256) {
    ApplyVolume(frame);
  }
  if (o.RateEmu) {
    int64_t now = lib::av_gettime() - ist.Start;
    if (ist.Pts - now > 1000) lib::av_usleep(unsigned((ist.Pts - now)));
  }
  if (o.StartTime != 0 && ist.Pts < o.StartTime) return;

  if (type == AVMEDIA_TYPE_VIDEO && ist.FilterIn && ist.FilterOut) {
    if (lib::av_buffersrc_add_frame_flags(ist.FilterIn, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) return;
    DeliverFilteredPictures(ist, false);
    return;
  }
  // A frame without its rate has the decoder's.
  if (type == AVMEDIA_TYPE_AUDIO && frame->sample_rate <= 0 && ist.Dec) frame->sample_rate = ist.Dec->sample_rate;
  TStageItem item;
  item.Kind = type == AVMEDIA_TYPE_VIDEO ? TStageKind::Picture : TStageKind::Samples;
  item.Input = int(&ist - run_.InputStreams.data());
  item.Frame = frame;
  item.Pts = ist.Pts;
  item.FrameNumber = run_.HookFrameNumber;
  item.Quality = ist.Quality;
  Emit(item);
}

// The volume factor (value / 256) with clipping, in the decoded format.
void TCustomFFmpeg::ApplyVolume(AVFrame* frame) {
  const int volume = opt_.AudioVolume;
  AVSampleFormat fmt = AVSampleFormat(frame->format);
  int channels = frame->ch_layout.nb_channels;
  bool planar = lib::av_sample_fmt_is_planar(fmt);
  int planes = planar ? channels : 1;
  int count = planar ? frame->nb_samples : frame->nb_samples * channels;
  if (lib::av_frame_make_writable(frame) < 0) return;
  for (int p = 0; p < planes; ++p) {
    uint8_t* data = frame->extended_data[p];
    switch (lib::av_get_packed_sample_fmt(fmt)) {
      case AV_SAMPLE_FMT_U8:
        for (int i = 0; i < count; ++i) {
          int v = ((int(data[i]) - 128) * volume + 128) >> 8;
          data[i] = uint8_t(std::clamp(v, -128, 127) + 128);
        }
        break;
      case AV_SAMPLE_FMT_S16: {
        auto* s = reinterpret_cast<int16_t*>(data);
        for (int i = 0; i < count; ++i) s[i] = int16_t(std::clamp((int(s[i]) * volume + 128) >> 8, -32768, 32767));
        break;
      }
      case AV_SAMPLE_FMT_S32: {
        auto* s = reinterpret_cast<int32_t*>(data);
        for (int i = 0; i < count; ++i)
          s[i] = int32_t(std::clamp<int64_t>((int64_t(s[i]) * volume + 128) >> 8, INT32_MIN, INT32_MAX));
        break;
      }
      case AV_SAMPLE_FMT_FLT: {
        auto* s = reinterpret_cast<float*>(data);
        for (int i = 0; i < count; ++i) s[i] = std::clamp(s[i] * float(volume) / 256.0f, -1.0f, 1.0f);
        break;
      }
      case AV_SAMPLE_FMT_DBL: {
        auto* s = reinterpret_cast<double*>(data);
        for (int i = 0; i < count; ++i) s[i] = std::clamp(s[i] * double(volume) / 256.0, -1.0, 1.0);
        break;
      }
      default:
        break;
    }
  }
}

void TCustomFFmpeg::CopyPacket(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const AVPacket* pkt,
                               int64_t pts) {
  const TOptionState& o = opt_;
  if (ost.FrameNumber == 0 && !(pkt->flags & AV_PKT_FLAG_KEY) && !o.CopyInitialNonKeyframes) return;
  if (ost.Type == AVMEDIA_TYPE_AUDIO) {
    run_.AudioSize += pkt->size;
  } else if (ost.Type == AVMEDIA_TYPE_VIDEO) {
    run_.VideoSize += pkt->size;
    ost.SyncOpts += 1;
  }
  AVPacket* out = lib::av_packet_clone(pkt);
  if (!out) throw FFmpegException("av_packet_alloc failed");
  AVRational inTb = ist.St->time_base, outTb = ost.St->time_base;
  int64_t start = lib::av_rescale_q(o.StartTime, kMicroseconds, outTb);
  out->stream_index = ost.Index;
  out->pts = pkt->pts != AV_NOPTS_VALUE ? lib::av_rescale_q(pkt->pts, inTb, outTb) - start : AV_NOPTS_VALUE;
  out->dts = (pkt->dts == AV_NOPTS_VALUE ? lib::av_rescale_q(pts, kMicroseconds, outTb)
                                          : lib::av_rescale_q(pkt->dts, inTb, outTb)) -
             start;
  out->duration = lib::av_rescale_q(pkt->duration, inTb, outTb);
  out->time_base = outTb;
  try {
    WriteFrame(of, ost, out);
  } catch (...) {
    lib::av_packet_free(&out);
    throw;
  }
  lib::av_packet_free(&out);
  ++ost.FrameNumber;
}

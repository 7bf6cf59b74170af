// Writing packets: encoder output to the stream's time base, bitstream
// filters, the monotonic-timestamp guard and the interleaving muxer.
#include <cstdio>

#include "engine/custom_ffmpeg.h"
#include "engine/encoder_worker.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

// Hands one packet (stream time base) to the muxer, keeping decoding
// timestamps increasing as muxers require: inputs with small backward steps
// would otherwise abort the whole conversion.
void Mux(TCustomFFmpeg* sender, AVFormatContext* ctx, TOutputStream& ost, AVPacket* pkt) {
  pkt->stream_index = ost.Index;
  const int flags = ctx->oformat->flags;
  if (pkt->dts != AV_NOPTS_VALUE && ost.LastDts != kNoTime && !(flags & AVFMT_NOTIMESTAMPS)) {
    int64_t minimum = ost.LastDts + ((flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
    if (pkt->dts < minimum) {
      LogFmt(sender, llVerbose, "Non-monotonic timestamp %lld in output stream #%d.%d; using %lld",
             (long long)pkt->dts, ost.FileIndex, ost.Index, (long long)minimum);
      if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < minimum) pkt->pts = minimum;
      pkt->dts = minimum;
    }
  }
  if (pkt->dts != AV_NOPTS_VALUE) ost.LastDts = pkt->dts;
  int64_t end = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (end != AV_NOPTS_VALUE) {
    double seconds = double(end + pkt->duration) * av_q2d(ost.St->time_base);
    if (seconds > ost.CurrentTime) ost.CurrentTime = seconds;
  }
  int ret = lib::av_interleaved_write_frame(ctx, pkt);
  if (ret < 0) throw FFmpegException("av_interleaved_write_frame(): " + engine::LibraryErrorText(ret));
  ++ost.PacketsMuxed;
}

}  // namespace

void TCustomFFmpeg::WriteFrame(TOutputFile& of, TOutputStream& ost, AVPacket* pkt) {
  if (ost.Bsfs.empty()) {
    Mux(this, of.Ctx, ost, pkt);
    return;
  }
  AVRational streamTb = ost.St->time_base;
  lib::av_packet_rescale_ts(pkt, streamTb, ost.BsfTimeBase);
  // Each filter's output becomes the next one's input.
  std::vector<AVPacket*> current{lib::av_packet_clone(pkt)};
  lib::av_packet_unref(pkt);
  for (AVBSFContext* bsf : ost.Bsfs) {
    std::vector<AVPacket*> next;
    for (AVPacket* p : current) {
      if (!p) continue;
      AVPacket* original = lib::av_packet_clone(p);
      int ret = lib::av_bsf_send_packet(bsf, p);
      if (ret >= 0) {
        while (true) {
          AVPacket* out = lib::av_packet_alloc();
          ret = lib::av_bsf_receive_packet(bsf, out);
          if (ret < 0) {
            lib::av_packet_free(&out);
            break;
          }
          next.push_back(out);
        }
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) ret = 0;
      }
      if (ret < 0) {
        std::string text =
            Format("%s failed for stream %d, codec %s: %s", bsf->filter->name, ost.Index,
                   ost.StreamCopy ? "copy" : (ost.Enc && ost.Enc->codec ? ost.Enc->codec->name : "copy"),
                   engine::LibraryErrorText(ret).c_str());
        if (opt_.ExitOnError) {
          lib::av_packet_free(&original);
          for (AVPacket*& q : current) lib::av_packet_free(&q);
          for (AVPacket*& q : next) lib::av_packet_free(&q);
          throw FFmpegException(text);
        }
        Log(this, llError, text);
        next.push_back(original);  // the packet goes on unchanged
        original = nullptr;
      }
      lib::av_packet_free(&original);
      lib::av_packet_free(&p);
    }
    current = std::move(next);
  }
  AVRational outTb = ost.Bsfs.back()->time_base_out;
  try {
    for (AVPacket*& p : current) {
      lib::av_packet_rescale_ts(p, outTb, streamTb);
      Mux(this, of.Ctx, ost, p);
      lib::av_packet_free(&p);
    }
  } catch (...) {
    for (AVPacket*& p : current) lib::av_packet_free(&p);
    throw;
  }
}

int TCustomFFmpeg::ReceiveEncodedPackets(TOutputFile& of, TOutputStream& ost) {
  AVPacket* pkt = lib::av_packet_alloc();
  if (!pkt) throw FFmpegException("av_packet_alloc failed");
  int written = 0;
  try {
    while (true) {
      int ret = lib::avcodec_receive_packet(ost.Enc, pkt);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
      if (ret < 0)
        throw FFmpegException(EncodingFailureText(ost));
      if (ost.LogFile && ost.Enc->stats_out) std::fputs(ost.Enc->stats_out, ost.LogFile);
      WriteEncodedPacket(of, ost, pkt);
      ++written;
    }
  } catch (...) {
    lib::av_packet_free(&pkt);
    throw;
  }
  lib::av_packet_free(&pkt);
  return written;
}

void TCustomFFmpeg::WriteEncodedPacket(TOutputFile& of, TOutputStream& ost, AVPacket* pkt) {
  if (ost.Type == AVMEDIA_TYPE_AUDIO)
    run_.AudioSize += pkt->size;
  else
    run_.VideoSize += pkt->size;
  NoteEncodedPacket(ost, pkt);  // quality for the report, statistics file
  lib::av_packet_rescale_ts(pkt, ost.Enc->time_base, ost.St->time_base);
  WriteFrame(of, ost, pkt);
  lib::av_packet_unref(pkt);
  ++ost.FrameNumber;
}

void TCustomFFmpeg::EncodeFrame(TOutputFile& of, TOutputStream& ost, AVFrame* frame) {
  if (ost.Worker) {
    ost.Worker->Submit(frame);
    WriteWorkerPackets(of, ost, false);
    return;
  }
  if (ost.Type == AVMEDIA_TYPE_VIDEO) ost.Enc->sample_aspect_ratio = frame->sample_aspect_ratio;
  const int ret = lib::avcodec_send_frame(ost.Enc, frame);
  lib::av_frame_free(&frame);
  if (ret < 0)
    throw FFmpegException(EncodingFailureText(ost));
  ReceiveEncodedPackets(of, ost);
}

void TCustomFFmpeg::WriteWorkerPackets(TOutputFile& of, TOutputStream& ost, bool untilDrained) {
  std::vector<AVPacket*> packets;
  do {
    packets.clear();
    ost.Worker->Collect(packets, untilDrained);
    size_t i = 0;
    try {
      for (; i < packets.size(); ++i) {
        WriteEncodedPacket(of, ost, packets[i]);
        lib::av_packet_free(&packets[i]);
      }
    } catch (...) {
      for (; i < packets.size(); ++i) lib::av_packet_free(&packets[i]);
      throw;
    }
  } while (untilDrained && !packets.empty());
}

void TCustomFFmpeg::DrainEncoder(TOutputFile& of, TOutputStream& ost) {
  if (!ost.EncoderOpen) return;
  if (ost.Worker) {
    ost.Worker->Submit(nullptr);
    WriteWorkerPackets(of, ost, true);
    return;
  }
  int ret = lib::avcodec_send_frame(ost.Enc, nullptr);
  if (ret < 0 && ret != AVERROR_EOF) return;
  ReceiveEncodedPackets(of, ost);
}

void TCustomFFmpeg::CloseCodecs() {
  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    if (!ost.Enc) continue;
    ost.Enc->stats_in = nullptr;  // owned by the stream
    if (!ost.EncoderOpen) continue;
    std::lock_guard<std::mutex> guard(CodecLock());
    lib::avcodec_close(ost.Enc);
    ost.EncoderOpen = false;
  }
  CloseDecoders();
  run_.OpenedEncoders.clear();
  run_.OpenedDecoders.clear();
  run_.DecoderThreads.clear();
}

void TCustomFFmpeg::CloseDecoders() {
  for (TInputStream& ist : run_.InputStreams) {
    if (!ist.DecoderOpen) continue;
    std::lock_guard<std::mutex> guard(CodecLock());
    lib::avcodec_close(ist.Dec);
    ist.DecoderOpen = false;
  }
}

void TCustomFFmpeg::FreeRun() {
  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    for (AVBSFContext*& bsf : ost.Bsfs) lib::av_bsf_free(&bsf);
    ost.Bsfs.clear();
    if (ost.Fifo) lib::av_audio_fifo_free(ost.Fifo);
    ost.Fifo = nullptr;
    if (ost.Resampler) lib::swr_free(&ost.Resampler);
    if (ost.ImgResampleCtx) lib::sws_freeContext(ost.ImgResampleCtx);
    ost.ImgResampleCtx = nullptr;
    if (ost.ResampleFrame) lib::av_frame_free(&ost.ResampleFrame);
    if (ost.LogFile) std::fclose(ost.LogFile);
    ost.LogFile = nullptr;
    if (ost.Enc && !ost.EncoderOpen) ost.Enc->stats_in = nullptr;
    if (ost.SubtitleBuffer) lib::av_freep(&ost.SubtitleBuffer);
    ReleaseOutputPathState(ost);
  }
  for (TInputStream& ist : run_.InputStreams) {
    if (ist.FilterGraph) lib::avfilter_graph_free(&ist.FilterGraph);
    ist.FilterIn = ist.FilterOut = nullptr;
    if (ist.FilterFrame) lib::av_frame_free(&ist.FilterFrame);
    if (ist.DecodedFrame) lib::av_frame_free(&ist.DecodedFrame);
  }
  if (run_.AudioBuf) lib::av_freep(&run_.AudioBuf);
  if (run_.AudioOut) lib::av_freep(&run_.AudioOut);
  if (run_.SilenceBuf) lib::av_freep(&run_.SilenceBuf);
  run_.AudioBufSize = run_.AudioOutSize = 0;
  run_.SilenceBufSize = 0;
  if (run_.Packet) lib::av_packet_free(&run_.Packet);
}

// Subtitle output path: a decoded subtitle is encoded into one packet (two
// for DVB subtitles: the picture and the packet that clears it) and written.
#include <algorithm>

#include "engine/custom_ffmpeg.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

void TCustomFFmpeg::DoSubtitleOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, AVSubtitle* sub,
                                  int64_t pts) {
  (void)ist;
  if (pts == kNoTime || pts == AV_NOPTS_VALUE) {
    if (opt_.ExitOnError) throw FFmpegException("Subtitle packets must have a pts");
    Log(this, llError, "Subtitle packets must have a pts");
    return;
  }
  AVCodecContext* enc = ost.Enc;
  if (!ost.SubtitleBuffer) {
    ost.SubtitleBuffer = static_cast<uint8_t*>(lib::av_malloc(kSubtitleBufferSize));
    if (!ost.SubtitleBuffer) throw FFmpegException("Subtitle encoding failed");
  }
  // Work on a copy of the timing so that other output streams of the same
  // input see the subtitle as decoded.
  AVSubtitle copy = *sub;
  const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const int packets = dvb ? 2 : 1;
  const AVRational ms{1, 1000};
  const AVRational us{1, AV_TIME_BASE};
  copy.pts = pts - opt_.StartTime + lib::av_rescale_q(copy.start_display_time, ms, us);
  copy.end_display_time -= copy.start_display_time;
  copy.start_display_time = 0;
  for (int i = 0; i < packets; ++i) {
    const unsigned rects = copy.num_rects;
    if (i == 1) copy.num_rects = 0;  // the second DVB packet clears the picture
    const int size = lib::avcodec_encode_subtitle(enc, ost.SubtitleBuffer, kSubtitleBufferSize, &copy);
    copy.num_rects = rects;
    if (size < 0) throw FFmpegException("Subtitle encoding failed");
    if (size == 0) continue;
    AVPacket* pkt = lib::av_packet_alloc();
    if (!pkt || lib::av_new_packet(pkt, size) < 0) {
      lib::av_packet_free(&pkt);
      throw FFmpegException("Subtitle encoding failed");
    }
    std::copy(ost.SubtitleBuffer, ost.SubtitleBuffer + size, pkt->data);
    const AVRational tb = ost.St->time_base;
    pkt->pts = lib::av_rescale_q(copy.pts, us, tb);
    if (dvb) pkt->pts += lib::av_rescale_q(i == 0 ? copy.start_display_time : copy.end_display_time, ms, tb);
    pkt->dts = pkt->pts;
    pkt->duration = lib::av_rescale_q(copy.end_display_time, ms, tb);
    pkt->flags |= AV_PKT_FLAG_KEY;
    pkt->time_base = tb;
    try {
      WriteFrame(of, ost, pkt);
    } catch (...) {
      lib::av_packet_free(&pkt);
      throw;
    }
    lib::av_packet_free(&pkt);
    ++ost.FrameNumber;
  }
}

// Progress report and statistics: the status line, the progress event, the
// closing size summary, the quantizer histogram, PSNR and the per-frame
// statistics file. Also the path states' lifetime.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

double Psnr(double d) { return -10.0 * std::log10(d); }

// Quantizer of the last encoded picture (lambda units -> qp), -1 when copied
// or not known yet.
float StreamQuality(const TOutputStream& ost) {
  if (ost.StreamCopy || !ost.Path || !ost.Path->LastQuality.Valid) return -1;
  return float(ost.Path->LastQuality.Quality) / float(FF_QP2LAMBDA);
}

}  // namespace

// ---- path state lifetime ----------------------------------------------------

TStreamPathState::~TStreamPathState() {
  if (ConvData) {
    lib::av_freep(&ConvData[0]);
    lib::av_freep(&ConvData);
  }
  if (AudioFrame) lib::av_frame_free(&AudioFrame);
  if (CropFrame) lib::av_frame_free(&CropFrame);
  if (ScaledFrame) lib::av_frame_free(&ScaledFrame);
}

TTaskPathState::~TTaskPathState() {
  if (DeintGraph) lib::avfilter_graph_free(&DeintGraph);
  if (DeintFrame) lib::av_frame_free(&DeintFrame);
}

TStreamPathState& StreamPathState(TOutputStream& ost) {
  if (!ost.Path) ost.Path = std::make_shared<TStreamPathState>();
  return *ost.Path;
}

TTaskPathState& TaskPathState(TRunState& run) {
  if (!run.Paths) run.Paths = std::make_shared<TTaskPathState>();
  return *run.Paths;
}

void TCustomFFmpeg::ReleaseOutputPathState(TOutputStream& ost) { ost.Path.reset(); }

void TCustomFFmpeg::ReleaseTaskPathState() { run_.Paths.reset(); }

// ---- per packet ---------------------------------------------------------------

void NotePacketQuality(TOutputStream& ost, const AVPacket* pkt) {
  size_t size = 0;
  const uint8_t* data = lib::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &size);
  if (!data || size < 6) return;
  TPacketQuality& q = StreamPathState(ost).LastQuality;
  q.Valid = true;
  q.Quality = int(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24);
  q.PictType = data[4];
  const int errors = std::min<int>(data[5], 4);
  for (int i = 0; i < 4; ++i) {
    q.Error[i] = 0;
    if (i < errors && size >= size_t(8 + 8 * (i + 1))) std::memcpy(&q.Error[i], data + 8 + 8 * i, 8);
  }
}

void TCustomFFmpeg::NoteEncodedPacket(TOutputStream& ost, const AVPacket* pkt) {
  NotePacketQuality(ost, pkt);
  if (ost.Type == AVMEDIA_TYPE_VIDEO && opt_.VStatsFileName) DoVideoStats(ost, pkt->size);
}

void TCustomFFmpeg::DoVideoStats(TOutputStream& ost, int frameSize) {
  if (!run_.VStatsFile) {
    const std::string& name = *opt_.VStatsFileName;
    run_.VStatsFile = std::fopen(name.c_str(), "w");
    if (!run_.VStatsFile) throw FFmpegException("fopen fail: " + name);
  }
  if (ost.Type != AVMEDIA_TYPE_VIDEO) return;
  AVCodecContext* enc = ost.Enc;
  const TPacketQuality q = ost.Path ? ost.Path->LastQuality : TPacketQuality();
  std::string line = Format("frame= %5d q= %2.1f ", int(ost.FrameNumber), double(q.Quality) / FF_QP2LAMBDA);
  if (enc->flags & AV_CODEC_FLAG_PSNR)
    line += Format("PSNR= %6.2f ", Psnr(double(q.Error[0]) / (double(enc->width) * enc->height * 255.0 * 255.0)));
  line += Format("f_size= %6d ", frameSize);
  double ti = ost.SyncOpts * av_q2d(enc->time_base);
  if (ti < 0.01) ti = 0.01;
  const double bitrate = double(frameSize) * 8 / av_q2d(enc->time_base) / 1000.0;
  const double avgBitrate = double(run_.VideoSize) * 8 / ti / 1000.0;
  line += Format("s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 double(run_.VideoSize) / 1024, ti, bitrate, avgBitrate);
  line += Format("type= %c\n", lib::av_get_picture_type_char(AVPictureType(q.PictType)));
  std::fputs(line.c_str(), run_.VStatsFile);
}

// ---- the report ----------------------------------------------------------------

void TCustomFFmpeg::PrintReport(int fileIndex, bool last) {
  int64_t totalSize = 0;
  if (!outputFiles_.empty() && outputFiles_[0].Ctx && outputFiles_[0].Ctx->pb) {
    AVIOContext* pb = outputFiles_[0].Ctx->pb;
    totalSize = lib::avio_size(pb);
    if (totalSize < 0) totalSize = lib::avio_seek(pb, 0, SEEK_CUR);
    if (totalSize < 0) totalSize = 0;
  }

  std::string line;
  double ti = 1e10;
  float quality = -1;
  int fps = -1;
  int frameNumber = -1;
  bool haveVideo = false;
  for (const auto& entry : outputStreams_) {
    const TOutputStream& ost = *entry;
    AVCodecContext* enc = ost.Enc;
    if (ost.Type == AVMEDIA_TYPE_VIDEO) {
      const float q = StreamQuality(ost);
      if (haveVideo) {
        line += Format("q=%2.1f ", double(q));
      } else {
        haveVideo = true;
        const double t = double(lib::av_gettime() - run_.TimerStart) / 1000000.0;
        frameNumber = int(ost.FrameNumber);
        // Nothing to tell before the first picture came out of the encoder;
        // the final report is always given.
        if (frameNumber < 1 && !last) return;
        fps = t > 1 ? int(std::trunc(frameNumber / t + 0.5)) : 0;
        quality = q;
        line += Format("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, double(q));
        if (last) line += "L";
        if (opt_.QpHist) {
          const long qp = std::lrint(q);
          if (qp >= 0 && qp < 52) ++run_.QpHistogram[qp];
          for (int j = 0; j < 32; ++j)
            line += Format("%X", int(std::lrint(std::log2(double(run_.QpHistogram[j]) + 1))));
        }
        if (enc && !ost.StreamCopy && (enc->flags & AV_CODEC_FLAG_PSNR) && frameNumber > 0) {
          const char planes[3] = {'Y', 'U', 'V'};
          double errorSum = 0, scaleSum = 0;
          line += "PSNR=";
          for (int j = 0; j < 3; ++j) {
            double error = last ? double(enc->error[j])
                                : double(ost.Path ? ost.Path->LastQuality.Error[j] : 0);
            double scale = double(enc->width) * enc->height * 255.0 * 255.0;
            if (last) scale *= frameNumber;
            if (j) scale /= 4;
            errorSum += error;
            scaleSum += scale;
            line += Format("%c:%2.2f ", planes[j], Psnr(error / scale));
          }
          line += Format("*:%2.2f ", Psnr(errorSum / scaleSum));
        }
      }
    }
    // The stream's output time.
    if (ost.CurrentTime > 0 && ost.CurrentTime < ti) ti = ost.CurrentTime;
  }
  if (ti < 0.01) ti = 0.01;
  if (ti >= 1e10) ti = 0.01;

  if (ProgressRelay || Verbose > 0 || last) {
    const double bitRate = double(totalSize) * 8 / ti / 1000.0;
    line += Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", double(totalSize) / 1024, ti, bitRate);
    if (run_.NbFramesDup || run_.NbFramesDrop) {
      line += Format(" dup=%lld drop=%lld", (long long)run_.NbFramesDup, (long long)run_.NbFramesDrop);
      if (run_.DupDropChanged && Verbose >= 0 && ProgressRelay) {
        run_.DupDropChanged = false;
        Log(this, llVerbose, line);
      }
    }
    if (ProgressRelay) {
      TProgressInfo info;
      info.TaskIndex = TaskIndex;
      info.FileIndex = fileIndex;
      info.TotalDuration = TotalDuration;
      info.CurrentDuration = int64_t(ti * 1000000.0);
      info.TotalSize = totalSize;
      info.BitRate = float(bitRate);
      info.Quality = quality;
      info.FPS = fps;
      info.FrameNumber = frameNumber;
      ProgressRelay(*this, info);
    } else if (Verbose >= 0) {
      Log(this, llVerbose, line);
    }
  }

  if (last && Verbose >= 0) {
    const double raw = double(run_.VideoSize + run_.AudioSize + run_.ExtraSize);
    const double overhead = raw > 0 ? 100.0 * (double(totalSize) - raw) / raw : 0.0;
    LogFmt(this, llVerbose, "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
           double(run_.VideoSize) / 1024, double(run_.AudioSize) / 1024, double(run_.ExtraSize) / 1024, overhead);
  }
}

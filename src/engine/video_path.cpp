// Video output path: frame-rate synchronisation (duplicating or dropping
// pictures), cropping and scaling to the encoder's picture, and encoding.
// Pre-processing and the filter graphs are in video_filters.cpp, the custom
// hook and the preview step (RGB bitmaps) in preview_step.cpp.
#include <algorithm>
#include <cmath>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

namespace {

const char* PixFmtName(int format) {
  const char* name = lib::av_get_pix_fmt_name(AVPixelFormat(format));
  return name ? name : "none";
}

// Crop bands of a first-set band scaled to a new picture dimension, rounded
// down to even.
int ScaledBand(int band, int size, int originalSize) {
  if (originalSize <= 0) return band;
  return int(int64_t(size) * band / originalSize) & ~1;
}

}  // namespace

// The picture inside the crop bands, as a reference to the decoded one.
static AVFrame* CropPicture(TOutputStream& ost, AVFrame* frame, bool& failed) {
  TStreamPathState& ps = StreamPathState(ost);
  failed = false;
  if (!ps.CropFrame) ps.CropFrame = lib::av_frame_alloc();
  if (!ps.CropFrame) throw FFmpegException("av_frame_alloc failed");
  lib::av_frame_unref(ps.CropFrame);
  if (ost.TopBand + ost.BottomBand >= frame->height || ost.LeftBand + ost.RightBand >= frame->width ||
      lib::av_frame_ref(ps.CropFrame, frame) < 0) {
    failed = true;
    return frame;
  }
  ps.CropFrame->crop_top = size_t(ost.TopBand);
  ps.CropFrame->crop_bottom = size_t(ost.BottomBand);
  ps.CropFrame->crop_left = size_t(ost.LeftBand);
  ps.CropFrame->crop_right = size_t(ost.RightBand);
  if (lib::av_frame_apply_cropping(ps.CropFrame, AV_FRAME_CROP_UNALIGNED) < 0) {
    lib::av_frame_unref(ps.CropFrame);
    failed = true;
    return frame;
  }
  return ps.CropFrame;
}

// Scales `picture` into the stream's temporary picture in the encoder's size
// and format. The temporary picture gets a fresh buffer while the encoder
// still holds the previous one.
static AVFrame* ScalePicture(TOutputStream& ost, const AVFrame* picture, int swsFlags) {
  AVCodecContext* enc = ost.Enc;
  if (!ost.ResampleFrame) {
    ost.ResampleFrame = lib::av_frame_alloc();
    if (!ost.ResampleFrame) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  }
  AVFrame* out = ost.ResampleFrame;
  if (out->width != enc->width || out->height != enc->height || out->format != enc->pix_fmt || !out->data[0]) {
    lib::av_frame_unref(out);
    out->format = enc->pix_fmt;
    out->width = enc->width;
    out->height = enc->height;
    if (lib::av_frame_get_buffer(out, 0) < 0) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  } else if (lib::av_frame_make_writable(out) < 0) {
    throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  }
  ost.ImgResampleCtx = lib::sws_getCachedContext(ost.ImgResampleCtx, picture->width, picture->height,
                                                 AVPixelFormat(picture->format), enc->width, enc->height,
                                                 enc->pix_fmt, swsFlags, nullptr, nullptr, nullptr);
  if (!ost.ImgResampleCtx) throw FFmpegException("Cannot get resampling context");
  const int ret = lib::sws_scale(ost.ImgResampleCtx, picture->data, picture->linesize, 0, picture->height,
                                 out->data, out->linesize);
  if (ret < 0) throw FFmpegException("Cannot get resampling context");
  lib::av_frame_copy_props(out, picture);
  return out;
}

// A copy of the picture in buffers of its own. The crop view's planes start
// at unaligned addresses, which encoders do not accept.
static AVFrame* AlignedCopy(TOutputStream& ost, const AVFrame* picture) {
  TStreamPathState& ps = StreamPathState(ost);
  if (!ps.ScaledFrame) ps.ScaledFrame = lib::av_frame_alloc();
  AVFrame* out = ps.ScaledFrame;
  if (!out) throw FFmpegException("error cropping picture");
  if (out->width != picture->width || out->height != picture->height || out->format != picture->format ||
      !out->data[0]) {
    lib::av_frame_unref(out);
    out->format = picture->format;
    out->width = picture->width;
    out->height = picture->height;
    if (lib::av_frame_get_buffer(out, 0) < 0) throw FFmpegException("error cropping picture");
  } else if (lib::av_frame_make_writable(out) < 0) {
    throw FFmpegException("error cropping picture");
  }
  if (lib::av_frame_copy(out, picture) < 0) throw FFmpegException("error cropping picture");
  lib::av_frame_copy_props(out, picture);
  return out;
}

void TCustomFFmpeg::DoVideoOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const TStageItem& item) {
  AVFrame* frame = item.Frame;
  AVCodecContext* enc = ost.Enc;
  TStreamPathState& ps = StreamPathState(ost);
  const TOptionState& o = opt_;

  // 1.-2. Frame-rate synchronisation against the output clock (in frames).
  const double syncIpts = double(item.Pts - o.StartTime) / 1000000.0 / av_q2d(enc->time_base);
  int64_t frames = 1;
  if (o.VideoSyncMethod != 0) {
    const double vdelta = syncIpts - ost.SyncOpts;
    const bool variableRate =
        o.VideoSyncMethod == 2 || (o.VideoSyncMethod < 0 && (of.Ctx->oformat->flags & AVFMT_VARIABLE_FPS));
    if (vdelta < -1.1) {
      frames = 0;
    } else if (variableRate) {
      if (vdelta <= -0.6)
        frames = 0;
      else if (vdelta > 0.6)
        ost.SyncOpts = double(std::llround(syncIpts));
    } else if (vdelta > 1.1) {
      frames = std::llround(vdelta);
    }
    if (frames == 0) {
      ++run_.NbFramesDrop;
      run_.DupDropChanged = true;
      if (Verbose > 2) Log(this, llVerbose, "*** drop!");
    } else if (frames > 1) {
      run_.NbFramesDup += frames - 1;
      run_.DupDropChanged = true;
      if (Verbose > 2) LogFmt(this, llVerbose, "*** %d dup!", int(frames - 1));
    }
  } else {
    // Pictures keep their own times; one that would not come after the
    // previous picture is moved just behind it, since encoders refuse
    // timestamps that do not increase.
    ost.SyncOpts = std::max(ost.SyncOpts, double(std::llround(syncIpts)));
  }

  // 3. The vframes limit counts pictures handed to the encoder.
  frames = std::min<int64_t>(frames, int64_t(o.MaxFrames[AVMEDIA_TYPE_VIDEO]) - ps.FramesSent);
  if (frames <= 0) return;

  AVFrame* picture = frame;
  if (!ist.FilterGraph) {
    // 5. A different picture size or format than the scaler was made for.
    const int croppedW = frame->width - ost.LeftBand - ost.RightBand;
    const int croppedH = frame->height - ost.TopBand - ost.BottomBand;
    if (croppedW != ost.ResampleWidth || croppedH != ost.ResampleHeight || frame->format != ost.ResamplePixFmt) {
      LogFmt(this, llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s", ist.FileIndex, ist.StreamIndex,
             frame->width, frame->height, PixFmtName(frame->format));
      if (!ost.VideoResample)
        throw FFmpegException(engine::Format(
            "Input Stream #%d.%d frame size changed to %dx%d, %s; the output stream has no scaler",
            ist.FileIndex, ist.StreamIndex, frame->width, frame->height, PixFmtName(frame->format)));
      if (ost.OriginalWidth > 0 && ost.OriginalHeight > 0) {
        ost.TopBand = ScaledBand(ost.OriginalTopBand, frame->height, ost.OriginalHeight);
        ost.BottomBand = ScaledBand(ost.OriginalBottomBand, frame->height, ost.OriginalHeight);
        ost.LeftBand = ScaledBand(ost.OriginalLeftBand, frame->width, ost.OriginalWidth);
        ost.RightBand = ScaledBand(ost.OriginalRightBand, frame->width, ost.OriginalWidth);
      }
      ost.ResampleWidth = frame->width - ost.LeftBand - ost.RightBand;
      ost.ResampleHeight = frame->height - ost.TopBand - ost.BottomBand;
      ost.ResamplePixFmt = frame->format;
      // The scaler follows with the current flags of the scaler options.
      int64_t flags = o.SwsFlags;
      if (optionContext_ && optionContext_->Scaler)
        lib::av_opt_get_int(optionContext_->Scaler, "sws_flags", 0, &flags);
      opt_.SwsFlags = int32_t(flags);
      if (ost.ImgResampleCtx) lib::sws_freeContext(ost.ImgResampleCtx);
      ost.ImgResampleCtx = nullptr;
    }
    // 4. Cropping.
    if (ost.VideoCrop) {
      bool failed = false;
      picture = CropPicture(ost, frame, failed);
      if (failed) {
        if (o.ExitOnError) throw FFmpegException("error cropping picture");
        Log(this, llError, "error cropping picture");
        return;
      }
    }
  }
  // 6. Scaling to the encoder's picture. A filter graph delivers that picture
  // already; a picture that does not fit (a size change inside the graph) is
  // scaled too rather than refused by the encoder.
  if (picture->width != enc->width || picture->height != enc->height || picture->format != enc->pix_fmt)
    picture = ScalePicture(ost, picture, opt_.SwsFlags);
  else if (picture == StreamPathState(ost).CropFrame)
    picture = AlignedCopy(ost, picture);

  // 7. Encoding, once per output frame.
  for (int64_t i = 0; i < frames; ++i) {
    if (StopRequested()) break;
    AVFrame* out = lib::av_frame_clone(picture);
    if (!out) throw FFmpegException("Video encoding failed");
    out->interlaced_frame = frame->interlaced_frame;
    if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME))
      out->top_field_first = o.TopFieldFirst == -1 ? frame->top_field_first : o.TopFieldFirst;
    out->quality = o.SameQuality ? int(item.Quality) : enc->global_quality;
    if (!o.MeThreshold) out->pict_type = AV_PICTURE_TYPE_NONE;
    out->pts = std::llround(ost.SyncOpts);
    out->sample_aspect_ratio = ost.EncoderAspect;
    out->pkt_dts = AV_NOPTS_VALUE;
    PreviewStep(out, item.Pts, item.FrameNumber);
    EncodeFrame(of, ost, out);
    ost.SyncOpts += 1;
    ++ps.FramesSent;
  }
}

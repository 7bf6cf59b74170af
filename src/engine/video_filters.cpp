// Video pre-processing and filter graphs: deinterlacing through the filter
// library (asked for, or automatic for interlaced pictures), the custom hook
// call, the graph buffer -> turn upright -> crop -> scale -> the user's
// filter text -> buffersink between a decoder and an encoder, and the
// picture size an encoder can take.
#include <algorithm>
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "engine/preview_step.h"
#include "media/display_rotation.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

using engine::Format;

namespace {

// Deinterlacers that work on one picture at a time (no delay, one picture
// out for each picture in), best first.
const char* const kDeinterlacers[][2] = {
    {"pp", "l5"},          // five-tap vertical low-pass over the fields
    {"kerndeint", nullptr},
};

// Sets the buffersink's only accepted pixel format.
int RestrictSinkFormat(AVFilterContext* sink, AVPixelFormat format) {
  const AVPixelFormat formats[] = {format, AV_PIX_FMT_NONE};
  return lib::av_opt_set_bin(sink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats), int(sizeof(formats[0])),
                             AV_OPT_SEARCH_CHILDREN);
}

std::string BufferArgs(int width, int height, int format, AVRational timeBase, AVRational aspect) {
  if (timeBase.num <= 0 || timeBase.den <= 0) timeBase = AVRational{1, AV_TIME_BASE};
  if (aspect.num <= 0 || aspect.den <= 0) aspect = AVRational{1, 1};
  return Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", width, height, format,
                timeBase.num, timeBase.den, aspect.num, aspect.den);
}

void FreeDeinterlacer(TTaskPathState& state) {
  if (state.DeintGraph) lib::avfilter_graph_free(&state.DeintGraph);
  state.DeintIn = state.DeintOut = nullptr;
  state.DeintWidth = state.DeintHeight = 0;
  state.DeintFormat = -1;
}

// Builds buffer -> deinterlacer -> buffersink for pictures like `frame`.
bool BuildDeinterlacer(TTaskPathState& state, const AVFrame* frame) {
  FreeDeinterlacer(state);
  for (const auto& candidate : kDeinterlacers) {
    const AVFilter* filter = lib::avfilter_get_by_name(candidate[0]);
    if (!filter) continue;
    AVFilterGraph* graph = lib::avfilter_graph_alloc();
    if (!graph) return false;
    graph->nb_threads = 1;
    AVFilterContext *in = nullptr, *out = nullptr, *deint = nullptr;
    const std::string args =
        BufferArgs(frame->width, frame->height, frame->format, AVRational{1, AV_TIME_BASE}, frame->sample_aspect_ratio);
    bool ok = lib::avfilter_graph_create_filter(&in, lib::avfilter_get_by_name("buffer"), "src", args.c_str(),
                                                nullptr, graph) >= 0 &&
              lib::avfilter_graph_create_filter(&out, lib::avfilter_get_by_name("buffersink"), "out", nullptr,
                                                nullptr, graph) >= 0 &&
              RestrictSinkFormat(out, AVPixelFormat(frame->format)) >= 0 &&
              lib::avfilter_graph_create_filter(&deint, filter, "deinterlace", candidate[1], nullptr, graph) >= 0 &&
              lib::avfilter_link(in, 0, deint, 0) >= 0 && lib::avfilter_link(deint, 0, out, 0) >= 0 &&
              lib::avfilter_graph_config(graph, nullptr) >= 0;
    if (!ok) {
      lib::avfilter_graph_free(&graph);
      continue;
    }
    state.DeintGraph = graph;
    state.DeintIn = in;
    state.DeintOut = out;
    state.DeintWidth = frame->width;
    state.DeintHeight = frame->height;
    state.DeintFormat = frame->format;
    return true;
  }
  return false;
}

// Replaces the frame's picture by its deinterlaced form; false when that is
// not possible (the frame stays as it was).
bool Deinterlace(TTaskPathState& state, AVFrame* frame) {
  if (!state.DeintGraph || state.DeintWidth != frame->width || state.DeintHeight != frame->height ||
      state.DeintFormat != frame->format) {
    if (!BuildDeinterlacer(state, frame)) return false;
  }
  if (!state.DeintFrame) state.DeintFrame = lib::av_frame_alloc();
  if (!state.DeintFrame) return false;
  if (lib::av_buffersrc_add_frame_flags(state.DeintIn, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
    FreeDeinterlacer(state);
    return false;
  }
  if (lib::av_buffersink_get_frame(state.DeintOut, state.DeintFrame) < 0) {
    FreeDeinterlacer(state);
    return false;
  }
  AVFrame* result = state.DeintFrame;
  lib::av_frame_copy_props(result, frame);
  result->interlaced_frame = 0;
  lib::av_frame_unref(frame);
  lib::av_frame_move_ref(frame, result);
  return true;
}

// Appends the filter `name` with `args` after `last`; false on failure.
bool LinkFilter(AVFilterGraph* graph, AVFilterContext*& last, const char* name, const char* args) {
  AVFilterContext* filter = nullptr;
  if (lib::avfilter_graph_create_filter(&filter, lib::avfilter_get_by_name(name), name, args, nullptr, graph) < 0 ||
      lib::avfilter_link(last, 0, filter, 0) < 0)
    return false;
  last = filter;
  return true;
}

// Appends the filters that turn pictures clockwise by rotation degrees.
bool LinkRotation(AVFilterGraph* graph, AVFilterContext*& last, int rotation) {
  switch (rotation) {
    case 90: return LinkFilter(graph, last, "transpose", "dir=clock");
    case 180: return LinkFilter(graph, last, "hflip", nullptr) && LinkFilter(graph, last, "vflip", nullptr);
    case 270: return LinkFilter(graph, last, "transpose", "dir=cclock");
    default: return true;
  }
}

// Whether the user's filter text deinterlaces by itself.
bool FiltersDeinterlace(const std::string& filters) {
  static const char* const kDeinterlacingFilters[] = {"yadif", "bwdif", "w3fdif", "kerndeint", "nnedi", "estdif"};
  for (const char* name : kDeinterlacingFilters)
    if (filters.find(name) != std::string::npos) return true;
  return false;
}

// How many pixels the encoder's picture sides must be a multiple of: the
// chroma subsampling of its picture format, and a few encoders' own
// block sizes.
void SizeMultiples(const AVCodecContext* enc, int& width, int& height) {
  width = height = 1;
  if (const AVPixFmtDescriptor* d = lib::av_pix_fmt_desc_get(enc->pix_fmt)) {
    width = 1 << d->log2_chroma_w;
    height = 1 << d->log2_chroma_h;
  }
  int block = 1;
  if (enc->codec_id == AV_CODEC_ID_RV10) block = 16;
  else if (enc->codec_id == AV_CODEC_ID_RV20) block = 4;
  width = std::max(width, block);
  height = std::max(height, block);
}

}  // namespace

void TCustomFFmpeg::FitSizeToEncoder(TOutputStream& ost, int shownWidth, int shownHeight) {
  AVCodecContext* enc = ost.Enc;
  int multipleW = 1, multipleH = 1;
  SizeMultiples(enc, multipleW, multipleH);
  const int width = enc->width / multipleW * multipleW;
  const int height = enc->height / multipleH * multipleH;
  if (width <= 0 || height <= 0 || (width == enc->width && height == enc->height)) return;
  const char* format = lib::av_get_pix_fmt_name(enc->pix_fmt);
  LogFmt(this, llInfo, "Output stream #%d.%d: the encoder takes no %dx%d picture in %s, using %dx%d", ost.FileIndex,
         ost.Index, enc->width, enc->height, format ? format : "its format", width, height);
  if (enc->width == shownWidth - ost.LeftBand - ost.RightBand &&
      enc->height == shownHeight - ost.TopBand - ost.BottomBand) {
    ost.RightBand += enc->width - width;
    ost.BottomBand += enc->height - height;
  }
  enc->width = width;
  enc->height = height;
}

void TCustomFFmpeg::DecideAutoDeinterlace() {
  // Not when the options already decide: deinterlacing asked for, a
  // target's own coding, or filters that deinterlace.
  bool progressive = !opt_.Deinterlace && !opt_.TargetApplied && !FiltersDeinterlace(opt_.VideoFilters);
  bool encoded = false;
  for (const auto& entry : outputStreams_) {
    const TOutputStream& ost = *entry;
    if (ost.Type != AVMEDIA_TYPE_VIDEO || !ost.EncodingNeeded) continue;
    encoded = true;
    if (ost.Enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) progressive = false;
  }
  TaskPathState(run_).AutoDeinterlace = encoded && progressive;
}

void TCustomFFmpeg::DeliverFilteredPictures(TInputStream& ist, bool flush) {
  if (!ist.FilterIn || !ist.FilterOut) return;
  // End of the stream at the end of the last picture (not at its start,
  // which would cut its time short for filters that fill time): the graph
  // gives up what it still holds.
  if (flush) {
    const int ret = ist.NextPts != kNoTime
                        ? lib::av_buffersrc_close(ist.FilterIn,
                                                  lib::av_rescale_q(ist.NextPts, AVRational{1, AV_TIME_BASE},
                                                                    ist.St->time_base),
                                                  AV_BUFFERSRC_FLAG_PUSH)
                        : lib::av_buffersrc_add_frame_flags(ist.FilterIn, nullptr, 0);
    if (ret < 0) return;
  }
  if (!ist.FilterFrame) ist.FilterFrame = lib::av_frame_alloc();
  if (!ist.FilterFrame) throw FFmpegException("av_frame_alloc failed");
  const int index = int(&ist - run_.InputStreams.data());
  AVFrame* picture = ist.FilterFrame;
  while (lib::av_buffersink_get_frame(ist.FilterOut, picture) >= 0) {
    const AVRational sinkTb = lib::av_buffersink_get_time_base(ist.FilterOut);
    if (picture->pts != AV_NOPTS_VALUE) ist.Pts = lib::av_rescale_q(picture->pts, sinkTb, AVRational{1, AV_TIME_BASE});
    TStageItem item;
    item.Kind = TStageKind::Picture;
    item.Input = index;
    item.Frame = picture;
    item.Pts = ist.Pts;
    item.FrameNumber = run_.HookFrameNumber;
    item.Quality = ist.Quality;
    item.Filtered = true;
    try {
      Emit(item);
    } catch (...) {
      lib::av_frame_unref(picture);
      throw;
    }
    lib::av_frame_unref(picture);
  }
}

void TCustomFFmpeg::PreProcessVideoFrame(TInputStream& ist, AVFrame* frame) {
  ++run_.HookFrameNumber;
  const int64_t pts = ist.Pts;
  TTaskPathState& state = TaskPathState(run_);
  const bool automatic = state.AutoDeinterlace && frame->interlaced_frame;
  if (!opt_.Deinterlace && !automatic && !HookRelay && !opt_.VideoHookAdded) return;
  if (automatic && !state.AutoDeinterlaceLogged) {
    LogFmt(this, llInfo, "Input stream #%d.%d is interlaced: deinterlacing it for the progressive output",
           ist.FileIndex, ist.StreamIndex);
    state.AutoDeinterlaceLogged = true;
  }
  if ((opt_.Deinterlace || automatic) && !Deinterlace(state, frame)) {
    // Logged once per task: every further picture would fail the same way.
    if (!state.DeintFailed) Log(this, llError, "Deinterlacing failed.");
    state.DeintFailed = true;
  }
  if (HookRelay) {
    if (!CallCustomHook(*this, state, frame, run_.HookFrameNumber, pts)) {
      // Detached for the rest of the task.
      HookRelay = nullptr;
      opt_.VideoHookAdded = false;
    }
  } else if (opt_.VideoHookAdded) {
    ProcessVideoHooks(frame, AVPixelFormat(frame->format), frame->width, frame->height, pts);
  }
}

int TCustomFFmpeg::ConfigureFilters(TInputStream& ist, TOutputStream& ost) {
  AVCodecContext* enc = ost.Enc;
  const AVCodecParameters* par = ist.St->codecpar;
  if (ist.FilterGraph) lib::avfilter_graph_free(&ist.FilterGraph);
  ist.FilterIn = ist.FilterOut = nullptr;

  AVFilterGraph* graph = lib::avfilter_graph_alloc();
  if (!graph) return -1;
  ist.FilterGraph = graph;
  AVRational aspect = ist.St->sample_aspect_ratio.num ? ist.St->sample_aspect_ratio : par->sample_aspect_ratio;
  const std::string args = BufferArgs(par->width, par->height, par->format, ist.St->time_base, aspect);
  AVFilterContext *src = nullptr, *sink = nullptr;
  if (lib::avfilter_graph_create_filter(&src, lib::avfilter_get_by_name("buffer"), "src", args.c_str(), nullptr,
                                        graph) < 0 ||
      lib::avfilter_graph_create_filter(&sink, lib::avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                        graph) < 0 ||
      RestrictSinkFormat(sink, enc->pix_fmt) < 0) {
    return -1;
  }
  AVFilterContext* last = src;

  // Turn the pictures upright first: the bands and the encoder's size are
  // those of the upright picture.
  const int rotation = StreamDisplayRotation(ist.St);
  if (rotation && !LinkRotation(graph, last, rotation)) return -1;
  const int shownW = RotationSwapsSize(rotation) ? par->height : par->width;
  const int shownH = RotationSwapsSize(rotation) ? par->width : par->height;

  // Crop to the picture inside the bands (the scale step below brings it to
  // the encoder's size).
  const int croppedW = shownW - ost.LeftBand - ost.RightBand;
  const int croppedH = shownH - ost.TopBand - ost.BottomBand;
  if (ost.VideoCrop) {
    AVFilterContext* crop = nullptr;
    const std::string cropArgs = Format("w=%d:h=%d:x=%d:y=%d", croppedW, croppedH, ost.LeftBand, ost.TopBand);
    if (lib::avfilter_graph_create_filter(&crop, lib::avfilter_get_by_name("crop"), "crop", cropArgs.c_str(),
                                          nullptr, graph) < 0 ||
        lib::avfilter_link(last, 0, crop, 0) < 0)
      return -1;
    last = crop;
  }
  if (enc->width != croppedW || enc->height != croppedH) {
    AVFilterContext* scale = nullptr;
    const std::string scaleArgs = Format("w=%d:h=%d:flags=%d", enc->width, enc->height, opt_.SwsFlags);
    if (lib::avfilter_graph_create_filter(&scale, lib::avfilter_get_by_name("scale"), "scale", scaleArgs.c_str(),
                                          nullptr, graph) < 0 ||
        lib::avfilter_link(last, 0, scale, 0) < 0)
      return -1;
    last = scale;
  }
  graph->scale_sws_opts = lib::av_strdup(Format("flags=%d", opt_.SwsFlags).c_str());

  if (!opt_.VideoFilters.empty()) {
    AVFilterInOut* outputs = lib::avfilter_inout_alloc();
    AVFilterInOut* inputs = lib::avfilter_inout_alloc();
    if (!outputs || !inputs) {
      lib::avfilter_inout_free(&outputs);
      lib::avfilter_inout_free(&inputs);
      return -1;
    }
    outputs->name = lib::av_strdup("in");
    outputs->filter_ctx = last;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = lib::av_strdup("out");
    inputs->filter_ctx = sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    const int ret = lib::avfilter_graph_parse_ptr(graph, opt_.VideoFilters.c_str(), &inputs, &outputs, nullptr);
    lib::avfilter_inout_free(&outputs);
    lib::avfilter_inout_free(&inputs);
    if (ret < 0) {
      LogFmt(this, llError, "Error parsing video filters \"%s\": %s", opt_.VideoFilters.c_str(),
             engine::LibraryErrorText(ret).c_str());
      return -1;
    }
  } else if (lib::avfilter_link(last, 0, sink, 0) < 0) {
    return -1;
  }
  const int ret = lib::avfilter_graph_config(graph, nullptr);
  if (ret < 0) {
    LogFmt(this, llError, "Error configuring video filters: %s", engine::LibraryErrorText(ret).c_str());
    return -1;
  }
  ist.FilterIn = src;
  ist.FilterOut = sink;
  enc->width = lib::av_buffersink_get_w(sink);
  enc->height = lib::av_buffersink_get_h(sink);
  return 0;
}

// Video pre-processing and filter graphs: deinterlacing through the filter
// library, the custom hook call, and the graph buffer -> crop -> scale ->
// the user's filter text -> buffersink between a decoder and an encoder.
#include <string>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "engine/preview_step.h"
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

}  // namespace

void TCustomFFmpeg::PreProcessVideoFrame(TInputStream& ist, AVFrame* frame) {
  ++run_.HookFrameNumber;
  const int64_t pts = ist.Pts;
  if (!opt_.Deinterlace && !HookRelay && !opt_.VideoHookAdded) return;
  TTaskPathState& state = TaskPathState(run_);
  if (opt_.Deinterlace && !Deinterlace(state, frame)) {
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

  // Crop to the picture inside the bands (the scale step below brings it to
  // the encoder's size).
  const int croppedW = par->width - ost.LeftBand - ost.RightBand;
  const int croppedH = par->height - ost.TopBand - ost.BottomBand;
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

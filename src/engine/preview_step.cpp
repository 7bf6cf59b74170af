// The custom hook call and the preview step: pictures converted to 24-bit
// bitmaps for OnCustomHook, OnPreviewBitmap and the preview window.
#include "engine/preview_step.h"

#include <mutex>
#include <string>

#include "engine/custom_ffmpeg.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

bool CallCustomHook(TCustomFFmpeg& task, TTaskPathState& state, AVFrame* frame, int64_t frameNumber,
                    int64_t pts) {
  if (!FrameToBitmap(state.Hook, frame) || !state.Hook.Bitmap) {
    Log(&task, llError, "Cannot initialize the toRGB conversion context");
    return false;
  }
  THookInfo info;
  info.TaskIndex = task.TaskIndex;
  info.Bitmap = state.Hook.Bitmap.get();
  info.FrameNumber = int32_t(frameNumber);
  info.PTS = pts;
  info.Update = true;
  info.StopHook = false;
  try {
    task.HookRelay(task, info);
  } catch (const std::exception& e) {
    Log(&task, llError, std::string("Error occurs OnCustomHook: ") + e.what());
    info.Update = false;
  } catch (...) {
    Log(&task, llError, "Error occurs OnCustomHook: unknown exception");
    info.Update = false;
  }
  if (info.Update) {
    // The decoder may still hold the picture: draw into a copy of our own.
    if (lib::av_frame_make_writable(frame) < 0 || !BitmapToFrame(state.Hook, *state.Hook.Bitmap, frame)) {
      Log(&task, llError, "Cannot initialize the fromRGB conversion context");
      return false;
    }
  }
  return !info.StopHook;
}

void TCustomFFmpeg::PreviewStep(const AVFrame* picture, int64_t pts, int64_t frameNumber) {
  // The flags are read under the preview lock, but the relay and the window
  // run without it: both wait for the main thread, which takes the lock when
  // the component's preview properties change.
  int flags;
  {
    std::lock_guard<std::mutex> guard(PreviewLock());
    flags = PreviewFlags;
  }
  if (!(flags & (kPreviewBitmapFlag | kPreviewWindowFlag))) return;
  TTaskPathState& state = TaskPathState(run_);
  const int64_t now = lib::av_gettime();
  if (state.LastPreviewTime != INT64_MIN && now - state.LastPreviewTime <= kPreviewInterval) return;
  state.LastPreviewTime = now;
  const int flag = (flags & kPreviewBitmapFlag) && PreviewRelay ? kPreviewBitmapFlag
                   : (flags & kPreviewWindowFlag)              ? kPreviewWindowFlag
                                                               : 0;
  if (!flag) return;
  bool keep = FrameToBitmap(state.Preview, picture) && state.Preview.Bitmap;
  if (!keep) {
    Log(this, llError, "Cannot initialize the toRGB conversion context");
  } else if (flag == kPreviewBitmapFlag) {
    TPreviewInfo info;
    info.TaskIndex = TaskIndex;
    info.Bitmap = state.Preview.Bitmap.get();
    info.FrameNumber = int32_t(frameNumber);
    info.PTS = pts;
    PreviewRelay(*this, info);
  } else {
    const TBitmap& bitmap = *state.Preview.Bitmap;
    keep = previewWindow_.Show(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                               int32_t(frameNumber), pts);
  }
  if (!keep) {
    std::lock_guard<std::mutex> guard(PreviewLock());
    PreviewFlags &= ~flag;
  }
}

// The custom hook and the preview step: pictures as 24-bit RGB bitmaps for
// the component's OnCustomHook and OnPreviewBitmap, and for the preview
// window.
#pragma once

#include <cstdint>

#include "engine/output_paths.h"

class TCustomFFmpeg;

// Hands the picture to the task's hook relay as a bitmap and, when the
// handler leaves Update set, converts the bitmap back into the frame.
// Returns false when the hook is to be detached (the handler set StopHook, or
// the picture could not be converted).
bool CallCustomHook(TCustomFFmpeg& task, TTaskPathState& state, AVFrame* frame, int64_t frameNumber,
                    int64_t pts);

// At most once per preview interval: the picture as a bitmap to the preview
// relay (PreviewBitmap flag) or to the preview window (Preview flag).
void PreviewStep(TCustomFFmpeg& task, TTaskPathState& state, const AVFrame* picture, int64_t frameNumber,
                 int64_t pts);

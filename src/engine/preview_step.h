// The custom hook: pictures as 24-bit RGB bitmaps for the component's
// OnCustomHook, drawn on and converted back.
#pragma once

#include <cstdint>

#include "engine/output_paths.h"

class TCustomFFmpeg;

// Hands the picture to the task's hook relay as a bitmap and, when the
// handler leaves Update set, converts the bitmap back into the frame.
// Returns false when the hook is to be detached (the handler set StopHook, or
// the picture could not be converted). An exception from the handler is
// logged and leaves the frame as it was.
bool CallCustomHook(TCustomFFmpeg& task, TTaskPathState& state, AVFrame* frame, int64_t frameNumber,
                    int64_t pts);

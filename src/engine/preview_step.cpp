#include "engine/preview_step.h"

#include "engine/custom_ffmpeg.h"

bool CallCustomHook(TCustomFFmpeg&, TTaskPathState&, AVFrame*, int64_t, int64_t) { return true; }
void PreviewStep(TCustomFFmpeg&, TTaskPathState&, const AVFrame*, int64_t, int64_t) {}
TRgbContext::~TRgbContext() { Reset(); }
void TRgbContext::Reset() {}

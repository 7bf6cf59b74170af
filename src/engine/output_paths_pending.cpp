// Placeholders for the audio and video output paths and the report, until
// those paths are built. Encoding refuses with a clear message; stream copy
// does not come here.
#include "engine/custom_ffmpeg.h"

void TCustomFFmpeg::DoAudioOut(TOutputFile&, TOutputStream&, TInputStream&, AVFrame*) {
  throw FFmpegException("audio/video encoding is not available yet");
}

void TCustomFFmpeg::DoVideoOut(TOutputFile&, TOutputStream&, TInputStream&, AVFrame*) {
  throw FFmpegException("audio/video encoding is not available yet");
}

void TCustomFFmpeg::DoSubtitleOut(TOutputFile&, TOutputStream&, TInputStream&, AVSubtitle*, int64_t) {
  throw FFmpegException("audio/video encoding is not available yet");
}

void TCustomFFmpeg::PreProcessVideoFrame(TInputStream&, AVFrame*) {}

int TCustomFFmpeg::ConfigureFilters(TInputStream&, TOutputStream&) {
  throw FFmpegException("audio/video encoding is not available yet");
}

void TCustomFFmpeg::FlushAudioOut(TOutputFile&, TOutputStream&) {}

void TCustomFFmpeg::PrintReport(int, bool) {}

void TCustomFFmpeg::DoVideoStats(TOutputStream&, int) {}

void TCustomFFmpeg::ReleaseOutputPathState(TOutputStream&) {}

void TCustomFFmpeg::ReleaseTaskPathState() {}

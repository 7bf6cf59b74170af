// Temporary: members still being written.
#include "engine/custom_ffmpeg.h"

bool TCustomFFmpeg::OpenInputFile(const std::wstring&) { return false; }
int TCustomFFmpeg::OpenOutputFile(const std::wstring&, bool) { return -1; }
void TCustomFFmpeg::NewVideoStream(int) {}
void TCustomFFmpeg::NewAudioStream(int) {}
void TCustomFFmpeg::NewSubtitleStream(int) {}
void TCustomFFmpeg::Transcode() {}
void TCustomFFmpeg::CloseCodecs() {}
void TCustomFFmpeg::FreeRun() {}
void TCustomFFmpeg::CloseOutputs() {}
void TCustomFFmpeg::CloseInputs() {}

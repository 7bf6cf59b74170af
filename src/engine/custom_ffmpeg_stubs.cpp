// Temporary: members still being written.
#include "engine/custom_ffmpeg.h"

void TCustomFFmpeg::ParseOption(const std::string&, const std::string&) {}
void TCustomFFmpeg::ParseOptionText(const std::string&, bool) {}
bool TCustomFFmpeg::SetGenericOption(const std::string&, const std::string&) { return false; }
void TCustomFFmpeg::CopyRecordedOptions(void*, void*, int) {}
void TCustomFFmpeg::SetAudioCodec(const std::string&) {}
void TCustomFFmpeg::SetVideoCodec(const std::string&) {}
void TCustomFFmpeg::SetSubtitleCodec(const std::string&) {}
void TCustomFFmpeg::SetFrameSize(const std::string&) {}
void TCustomFFmpeg::SetVideoFilters(const std::string&) {}
void TCustomFFmpeg::ApplyInputOptions(const TInputOptions&) {}
void TCustomFFmpeg::ApplyOutputOptions(const TOutputOptions&) {}
void TCustomFFmpeg::CreateExtraStreams(const TOutputOptions&) {}
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

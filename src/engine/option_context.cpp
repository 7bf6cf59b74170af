#include "engine/option_state.h"

#include "engine/engine_events.h"
#include "media/library_tables.h"

TOptionContext::TOptionContext() {
  for (int t = 0; t < kMediaTypeCount; ++t) {
    Codec[t] = lib::avcodec_alloc_context3(nullptr);
    if (!Codec[t]) throw FFmpegException("avcodec_alloc_context failed");
    Codec[t]->codec_type = AVMediaType(t);
  }
  Format = lib::avformat_alloc_context();
  if (!Format) throw FFmpegException("avformat_alloc_context failed");
  Scaler = lib::sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                               nullptr, nullptr, nullptr);
}

TOptionContext::~TOptionContext() {
  for (int t = 0; t < kMediaTypeCount; ++t) {
    if (Codec[t]) lib::avcodec_free_context(&Codec[t]);
    if (EncoderPrivate[t]) lib::av_dict_free(&EncoderPrivate[t]);
  }
  if (MuxerPrivate) lib::av_dict_free(&MuxerPrivate);
  if (Format) lib::avformat_free_context(Format);
  if (Scaler) lib::sws_freeContext(Scaler);
}

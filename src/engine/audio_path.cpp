// Audio output path: one decoded audio frame of an input stream becomes
// encoded packets of an output stream. The samples are kept in sync with the
// output clock (audio sync method), converted to the encoder's channel
// layout, sample rate and sample format with libswresample, collected in a
// FIFO and handed to the encoder in whole encoder frames.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "engine/output_paths.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"

namespace {

// Decoded blocks or conversions above this many samples are refused (about
// 6 hours of 48 kHz audio in one frame: a broken stream, not real audio).
constexpr int64_t kMaxBlockSamples = 1LL << 30;

// Differences below this many output samples are ignored by the audio sync.
constexpr double kSyncTolerance = 50;

int64_t FifoSamples(const TOutputStream& ost) {
  return ost.Fifo ? lib::av_audio_fifo_size(ost.Fifo) : 0;
}

// Samples the resampler holds back, in output samples.
int64_t ResamplerDelay(const TOutputStream& ost, int outRate) {
  return ost.Resampler ? lib::swr_get_delay(ost.Resampler, outRate) : 0;
}

// Points `planes` at sample `offset` of the frame.
void OffsetPlanes(const AVFrame* frame, int offset, const uint8_t* planes[AV_NUM_DATA_POINTERS + 64],
                  int channels) {
  const auto fmt = AVSampleFormat(frame->format);
  const int bps = lib::av_get_bytes_per_sample(fmt);
  if (lib::av_sample_fmt_is_planar(fmt)) {
    for (int c = 0; c < channels; ++c) planes[c] = frame->extended_data[c] + size_t(offset) * size_t(bps);
  } else {
    planes[0] = frame->extended_data[0] + size_t(offset) * size_t(bps) * size_t(channels);
  }
}

// The layout of a decoded frame, with an unspecified order replaced by the
// default order for its channel count (the resampler needs a real layout).
void FrameLayout(const AVFrame* frame, AVChannelLayout* layout) {
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0) {
    lib::av_channel_layout_default(layout, std::max(frame->ch_layout.nb_channels, 1));
  } else {
    lib::av_channel_layout_copy(layout, &frame->ch_layout);
  }
}

}  // namespace

// Makes sure the resampler matches the frame's parameters; returns true when
// samples go through it. A change of the input parameters in mid-stream
// first moves what the old resampler still holds into the FIFO.
static bool PrepareAudioConversion(TOutputStream& ost, const AVFrame* frame, int audioSyncMethod) {
  TStreamPathState& ps = StreamPathState(ost);
  AVCodecContext* enc = ost.Enc;
  const int inRate = frame->sample_rate;
  const int inChannels = frame->ch_layout.nb_channels;
  if (ps.InFormat == frame->format && ps.InRate == inRate && ps.InChannels == inChannels) return ps.Converting;

  if (ost.Resampler) {
    // Keep the tail of the old conversion.
    if (ps.ConvData && ps.ConvCapacity > 0) {
      int got;
      while ((got = lib::swr_convert(ost.Resampler, ps.ConvData, ps.ConvCapacity, nullptr, 0)) > 0) {
        lib::av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(ps.ConvData), got);
      }
    }
    lib::swr_free(&ost.Resampler);
  }
  ps.InFormat = frame->format;
  ps.InRate = inRate;
  ps.InChannels = inChannels;
  ost.AudioResample = inRate != enc->sample_rate || audioSyncMethod > 1 ||
                      inChannels != enc->ch_layout.nb_channels;
  const bool formatOnly = !ost.AudioResample && frame->format != enc->sample_fmt;
  ps.Converting = ost.AudioResample || formatOnly;
  if (!ps.Converting) return false;

  AVChannelLayout inLayout{};
  FrameLayout(frame, &inLayout);
  AVChannelLayout outLayout{};
  if (enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    lib::av_channel_layout_default(&outLayout, enc->ch_layout.nb_channels);
  else
    lib::av_channel_layout_copy(&outLayout, &enc->ch_layout);
  int ret = lib::swr_alloc_set_opts2(&ost.Resampler, &outLayout, enc->sample_fmt, enc->sample_rate, &inLayout,
                                     AVSampleFormat(frame->format), inRate, 0, nullptr);
  lib::av_channel_layout_uninit(&inLayout);
  lib::av_channel_layout_uninit(&outLayout);
  if (ret >= 0) ret = lib::swr_init(ost.Resampler);
  if (ret < 0) {
    lib::swr_free(&ost.Resampler);
    ps.InFormat = -1;
    if (formatOnly) {
      const char* inName = lib::av_get_sample_fmt_name(AVSampleFormat(frame->format));
      const char* outName = lib::av_get_sample_fmt_name(enc->sample_fmt);
      throw FFmpegException(engine::Format("Cannot convert %s sample format to %s sample format",
                                           inName ? inName : "?", outName ? outName : "?"));
    }
    throw FFmpegException(engine::Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                         inChannels, inRate, enc->ch_layout.nb_channels, enc->sample_rate));
  }
  return true;
}

// Grows the conversion buffer to hold `samples` samples in the encoder's format.
static void GrowConversionBuffer(TOutputStream& ost, int64_t samples) {
  TStreamPathState& ps = StreamPathState(ost);
  if (samples <= ps.ConvCapacity) return;
  if (samples > kMaxBlockSamples) throw FFmpegException("Buffer sizes too large in do_audio_out");
  const int capacity = int(std::max<int64_t>(samples, 4096));
  if (ps.ConvData) {
    lib::av_freep(&ps.ConvData[0]);
    lib::av_freep(&ps.ConvData);
  }
  ps.ConvCapacity = 0;
  const int channels = ost.Enc->ch_layout.nb_channels;
  ps.ConvData = static_cast<uint8_t**>(lib::av_mallocz(sizeof(uint8_t*) * size_t(std::max(channels, 1))));
  if (!ps.ConvData || lib::av_samples_alloc(ps.ConvData, nullptr, channels, capacity, ost.Enc->sample_fmt, 0) < 0) {
    lib::av_freep(&ps.ConvData);
    throw FFmpegException("Out of memory in do_audio_out");
  }
  ps.ConvCapacity = capacity;
}

// Writes `samples` samples of silence in the encoder's format into the FIFO.
static void WriteSilence(TOutputStream& ost, int64_t samples) {
  TStreamPathState& ps = StreamPathState(ost);
  const int channels = ost.Enc->ch_layout.nb_channels;
  while (samples > 0) {
    GrowConversionBuffer(ost, std::min<int64_t>(samples, 65536));
    const int n = int(std::min<int64_t>(samples, ps.ConvCapacity));
    lib::av_samples_set_silence(ps.ConvData, 0, n, channels, ost.Enc->sample_fmt);
    if (lib::av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(ps.ConvData), n) < n)
      throw FFmpegException("av_fifo_realloc2() failed");
    samples -= n;
  }
}

void TCustomFFmpeg::DoAudioOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const TStageItem& item) {
  AVFrame* frame = item.Frame;
  AVCodecContext* enc = ost.Enc;
  if (!frame || frame->nb_samples <= 0) return;
  if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0) return;  // nothing usable
  if (frame->nb_samples > kMaxBlockSamples) throw FFmpegException("Buffer sizes too large in do_audio_out");

  const int outRate = enc->sample_rate;
  const int outChannels = enc->ch_layout.nb_channels;
  const int inRate = frame->sample_rate;
  if (!ost.Fifo) {
    ost.Fifo = lib::av_audio_fifo_alloc(enc->sample_fmt, outChannels, 1024);
    if (!ost.Fifo) throw FFmpegException("av_fifo_alloc fail");
  }
  TStreamPathState& ps = StreamPathState(ost);
  const bool converting = PrepareAudioConversion(ost, frame, opt_.AudioSyncMethod);

  int skip = 0;  // input samples dropped from the front of the block
  const double inputTime = double(item.Pts - opt_.StartTime) / 1000000.0;
  if (opt_.AudioSyncMethod != 0) {
    const double delta =
        inputTime * outRate - ost.SyncOpts - double(FifoSamples(ost)) - double(ResamplerDelay(ost, outRate));
    const double idelta = delta * inRate / outRate;
    if (std::fabs(delta) > kSyncTolerance) {
      if (ist.IsStart || std::fabs(delta) > opt_.AudioDriftThreshold * outRate) {
        if (idelta < 0) {
          skip = int(std::min<double>(-std::trunc(idelta), frame->nb_samples));
          if (Verbose > 2) LogFmt(this, llVerbose, "discarding %d audio samples", int(std::trunc(-delta)));
          ist.IsStart = false;
          if (skip >= frame->nb_samples) return;
        } else if (delta >= 1) {
          const int64_t silence = int64_t(std::trunc(delta));
          WriteSilence(ost, silence);
          ist.IsStart = false;
          if (Verbose > 2) LogFmt(this, llVerbose, "adding %d audio samples of silence", int(silence));
        }
      } else if (opt_.AudioSyncMethod > 1 && ost.Resampler) {
        const int comp = int(std::clamp<double>(std::trunc(delta), -opt_.AudioSyncMethod, opt_.AudioSyncMethod));
        if (Verbose > 2)
          LogFmt(this, llVerbose, "compensating audio timestamp drift:%f compensation:%d in:%d", delta, comp,
                 outRate);
        // Spread the correction over one second of output.
        if (lib::swr_set_compensation(ost.Resampler, comp, outRate) < 0 && !ps.SyncWarned) {
          ps.SyncWarned = true;
          Log(this, llWarning, "Audio drift compensation is not possible for this stream");
        }
      }
    }
  } else {
    ost.SyncOpts = double(std::llround(inputTime * outRate) - FifoSamples(ost) - ResamplerDelay(ost, outRate));
  }

  const int channels = frame->ch_layout.nb_channels;
  const uint8_t* in[AV_NUM_DATA_POINTERS + 64] = {};
  if (channels > AV_NUM_DATA_POINTERS + 64) throw FFmpegException("Buffer sizes too large in do_audio_out");
  OffsetPlanes(frame, skip, in, channels);
  const int count = frame->nb_samples - skip;

  if (converting) {
    const int64_t room = lib::swr_get_out_samples(ost.Resampler, count);
    if (room < 0) throw FFmpegException("Buffer sizes too large in do_audio_out");
    GrowConversionBuffer(ost, room + 16);
    const int got = lib::swr_convert(ost.Resampler, ps.ConvData, ps.ConvCapacity, in, count);
    if (got < 0) {
      if (opt_.ExitOnError) throw FFmpegException("av_audio_convert() failed");
      Log(this, llError, "av_audio_convert() failed");
      return;
    }
    if (got > 0 && lib::av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(ps.ConvData), got) < got)
      throw FFmpegException("av_fifo_realloc2() failed");
  } else {
    if (lib::av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(const_cast<uint8_t**>(in)), count) < count)
      throw FFmpegException("av_fifo_realloc2() failed");
  }
  EncodeAudioFifo(of, ost, false);
}

// Hands whole encoder frames from the FIFO to the encoder; at the end of the
// stream (last) also the rest. Encoders that take any frame size get all
// that is there at once.
void TCustomFFmpeg::EncodeAudioFifo(TOutputFile& of, TOutputStream& ost, bool last) {
  AVCodecContext* enc = ost.Enc;
  TStreamPathState& ps = StreamPathState(ost);
  const bool variable =
      enc->frame_size <= 1 || (enc->codec && (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
  const int frameSize = variable ? 0 : enc->frame_size;
  if (!ps.AudioFrame) {
    ps.AudioFrame = lib::av_frame_alloc();
    if (!ps.AudioFrame) throw FFmpegException("Out of memory in do_audio_out");
  }
  const AVRational sampleBase{1, enc->sample_rate};
  for (;;) {
    const int available = lib::av_audio_fifo_size(ost.Fifo);
    int n;
    if (frameSize > 0) {
      if (available >= frameSize)
        n = frameSize;
      else if (last && available > 0)
        n = available;  // the library pads the last frame where the encoder needs it
      else
        break;
    } else {
      if (available <= 0) break;
      n = std::min(available, 1 << 20);
    }
    AVFrame* f = ps.AudioFrame;
    lib::av_frame_unref(f);
    f->nb_samples = n;
    f->format = enc->sample_fmt;
    f->sample_rate = enc->sample_rate;
    if (lib::av_channel_layout_copy(&f->ch_layout, &enc->ch_layout) < 0 || lib::av_frame_get_buffer(f, 0) < 0)
      throw FFmpegException("Out of memory in do_audio_out");
    if (lib::av_audio_fifo_read(ost.Fifo, reinterpret_cast<void**>(f->extended_data), n) < n)
      throw FFmpegException("Audio encoding failed");
    f->pts = lib::av_rescale_q(std::llround(ost.SyncOpts), sampleBase, enc->time_base);
    AVFrame* owned = lib::av_frame_clone(f);
    lib::av_frame_unref(f);
    if (!owned) throw FFmpegException("Out of memory in do_audio_out");
    ost.SyncOpts += n;
    EncodeFrame(of, ost, owned);
  }
}

void TCustomFFmpeg::FlushAudioOut(TOutputFile& of, TOutputStream& ost) {
  if (!ost.Enc || !ost.Fifo) return;
  TStreamPathState& ps = StreamPathState(ost);
  if (ost.Resampler && ps.Converting) {
    GrowConversionBuffer(ost, 4096);
    int got;
    while ((got = lib::swr_convert(ost.Resampler, ps.ConvData, ps.ConvCapacity, nullptr, 0)) > 0) {
      if (lib::av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(ps.ConvData), got) < got)
        throw FFmpegException("av_fifo_realloc2() failed");
    }
  }
  EncodeAudioFifo(of, ost, true);
}

// Sound output: SDL asks for bytes on its audio thread; the callback decodes
// the audio queue just in time, converts to signed 16-bit interleaved
// samples and mixes them at the player's volume. The audio clock kept here
// is the playback's master clock.
#include <algorithm>
#include <cstring>

#include "player/player.h"

bool TCustomPlayer::OpenAudioOutput(TPlayback* is) {
  AVCodecContext* ctx = is->audioCtx;
  if (!audioInitialised_) {
    Log(this, llError, "SDL_OpenAudio() failed: " + audioInitError_);
    return false;
  }
  const int channels = ctx->ch_layout.nb_channels < 1 ? 2 : std::min(2, ctx->ch_layout.nb_channels);
  SDL_AudioSpec wanted{}, obtained{};
  wanted.freq = ctx->sample_rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = Uint8(channels);
  wanted.silence = 0;
  wanted.samples = kAudioCallbackSamples;
  wanted.callback = &TCustomPlayer::AudioCallback;
  wanted.userdata = is;
  is->audioRate = ctx->sample_rate;
  is->audioChannels = channels;
  is->audioPkt = lib::av_packet_alloc();
  is->audioFrame = lib::av_frame_alloc();
  SDL_AudioDeviceID dev = is->audioPkt && is->audioFrame && wanted.freq > 0
                              ? lib::SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0)
                              : 0;
  if (!dev) {
    Log(this, llError, std::string("SDL_OpenAudio() failed: ") + lib::SDL_GetError());
    lib::av_packet_free(&is->audioPkt);
    lib::av_frame_free(&is->audioFrame);
    return false;
  }
  is->audioDevice = dev;
  is->audioHwBufSize = int(obtained.size);
  is->audioBuf = is->silence;
  return true;
}

void TCustomPlayer::CloseAudioOutput(TPlayback* is) {
  // Closing the device waits for a running callback.
  if (is->audioDevice) lib::SDL_CloseAudioDevice(is->audioDevice);
  is->audioDevice = 0;
  lib::swr_free(&is->swr);
  lib::av_channel_layout_uninit(&is->swrLayout);
  lib::av_packet_free(&is->audioPkt);
  lib::av_frame_free(&is->audioFrame);
  if (is->audioBuf1) lib::av_free(is->audioBuf1);
  is->audioBuf1 = nullptr;
  is->audioBuf1Size = 0;
  is->audioBuf = is->silence;
}

void TCustomPlayer::AudioCallback(void* opaque, Uint8* stream, int len) {
  TPlayback* is = static_cast<TPlayback*>(opaque);
  TCustomPlayer* player = is->owner;
  is->lastCallbackTime = lib::av_gettime();
  // SDL 2 hands the buffer over uninitialised.
  std::memset(stream, 0, size_t(len));
  while (len > 0) {
    int index = is->audioBufIndex;
    if (index >= is->audioBufSize) {
      const int decoded = player->DecodeAudioBuffer(is);
      if (is->audioq.AbortRequested()) break;
      if (decoded < 0) {
        if (decoded == -2 && !is->readEof && is->audioStarted) ++is->audioUnderruns;
        is->audioBuf = is->silence;
        is->audioBufSize = kSilenceBytes;
      } else {
        is->audioStarted = true;
        if (is->audioDisplayMode != 0) {
          const int16_t* samples = reinterpret_cast<const int16_t*>(is->audioBuf);
          int w = is->sampleRingIndex;
          for (int i = 0; i < decoded / 2; ++i) {
            is->sampleRing[size_t(w)].store(samples[i], std::memory_order_relaxed);
            if (++w >= kSampleRingSize) w = 0;
          }
          is->sampleRingIndex = w;
        }
        is->audioBufSize = decoded;
      }
      index = 0;
      is->audioBufIndex = 0;
    }
    const int n = std::min(is->audioBufSize - index, len);
    if (!player->mute_)
      lib::SDL_MixAudioFormat(stream, is->audioBuf + index, AUDIO_S16SYS, Uint32(n), player->audioVolume_);
    is->audioBufIndex = index + n;
    stream += n;
    len -= n;
  }
  // Where the sound handed over now ends, and when: the device plays it from
  // here on (AudioClockNow).
  std::lock_guard<std::mutex> guard(is->handedLock);
  is->handedClock = is->HandedOverClock();
  is->handedAt = lib::av_gettime();
}

// The next buffer of converted samples in is->audioBuf: its size in bytes;
// -1 while paused or aborted, -2 when the queue has nothing yet.
int TCustomPlayer::DecodeAudioBuffer(TPlayback* is) {
  AVCodecContext* ctx = is->audioCtx;
  AVFrame* frame = is->audioFrame;
  for (;;) {
    if (is->paused || is->audioq.AbortRequested() || is->SoundWaitsForFirstPicture()) return -1;
    if (is->audioPacketPending) {
      const int sent = lib::avcodec_send_packet(ctx, is->audioPkt);
      if (sent != AVERROR(EAGAIN)) {
        is->audioPacketPending = false;
        lib::av_packet_unref(is->audioPkt);
        if (sent < 0) Log(this, llInfo, "avcodec_decode_audio2() failed");
      }
    }
    const int got = lib::avcodec_receive_frame(ctx, frame);
    if (got >= 0) {
      const int size = ConvertAudioFrame(is, frame);
      if (frame->pts != AV_NOPTS_VALUE) is->audioClock = double(frame->pts) * av_q2d(is->audioSt->time_base);
      lib::av_frame_unref(frame);
      if (size <= 0) continue;
      is->audioClock = is->audioClock + double(size) / (2.0 * is->audioChannels * is->audioRate);
      return size;
    }
    if (got != AVERROR(EAGAIN) && got != AVERROR_EOF) {
      Log(this, llInfo, "avcodec_decode_audio2() failed");
      continue;
    }
    if (is->audioPacketPending) continue;
    const int taken = is->audioq.Get(is->audioPkt, false);
    if (taken < 0) return -1;
    if (taken == 0) return -2;
    if (IsFlushPacket(is->audioPkt)) {
      lib::av_packet_unref(is->audioPkt);
      lib::avcodec_flush_buffers(ctx);
      continue;
    }
    is->audioPacketPending = true;
  }
}

// Converts one decoded frame into audioBuf1 as signed 16-bit interleaved
// samples of the output's channel count and rate; returns the byte count.
int TCustomPlayer::ConvertAudioFrame(TPlayback* is, AVFrame* frame) {
  if (!is->swr || frame->format != is->swrFormat || frame->sample_rate != is->swrRate ||
      lib::av_channel_layout_compare(&frame->ch_layout, &is->swrLayout) != 0) {
    lib::swr_free(&is->swr);
    AVChannelLayout outLayout{};
    lib::av_channel_layout_default(&outLayout, is->audioChannels);
    const int made =
        lib::swr_alloc_set_opts2(&is->swr, &outLayout, AV_SAMPLE_FMT_S16, is->audioRate, &frame->ch_layout,
                                 AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
    lib::av_channel_layout_uninit(&outLayout);
    if (made < 0 || lib::swr_init(is->swr) < 0) {
      const char* from = lib::av_get_sample_fmt_name(AVSampleFormat(frame->format));
      LogFmt(this, llError, "Cannot convert %s sample format to %s sample format", from ? from : "?", "s16");
      lib::swr_free(&is->swr);
      is->swrFormat = -1;
      return -1;
    }
    is->swrFormat = frame->format;
    is->swrRate = frame->sample_rate;
    lib::av_channel_layout_uninit(&is->swrLayout);
    lib::av_channel_layout_copy(&is->swrLayout, &frame->ch_layout);
  }
  const int outSamples = lib::swr_get_out_samples(is->swr, frame->nb_samples);
  if (outSamples <= 0) return -1;
  const unsigned need = unsigned(outSamples) * unsigned(is->audioChannels) * 2u;
  lib::av_fast_malloc(&is->audioBuf1, &is->audioBuf1Size, need);
  if (!is->audioBuf1) return -1;
  uint8_t* out[1] = {is->audioBuf1};
  const int converted = lib::swr_convert(
      is->swr, out, outSamples, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
  if (converted < 0) {
    Log(this, llError, "av_audio_convert() failed");
    return -1;
  }
  is->audioBuf = is->audioBuf1;
  return converted * is->audioChannels * 2;
}

double TPlayback::AudioBytesPerSecond() const { return double(audioRate) * 2.0 * audioChannels; }

double TPlayback::HandedOverClock() const {
  return audioClock - double(audioBufSize - audioBufIndex) / AudioBytesPerSecond();
}

double TPlayback::AudioClockNow() const {
  if (!hasAudio || audioRate <= 0) return audioClock;
  const double handedOver = HandedOverClock();
  // The last buffer handed to the device plays during the callback period
  // that follows: the position moves through it instead of jumping by a
  // whole buffer at each callback, which would put pictures behind the
  // clock by up to a buffer and have them dropped. A paused playback keeps
  // its clock as it stands.
  if (paused || audioHwBufSize <= 0) return handedOver;
  double clock;
  int64_t at;
  {
    std::lock_guard<std::mutex> guard(handedLock);
    clock = handedClock;
    at = handedAt;
  }
  if (at == 0) return handedOver;
  const double unplayed = double(audioHwBufSize) / AudioBytesPerSecond() - double(lib::av_gettime() - at) / 1e6;
  return unplayed > 0 ? clock - unplayed : clock;
}

bool TPlayback::SoundWaitsForFirstPicture() const {
  return hasVideo && framesShown.load() == 0 && lib::av_gettime() - openedAt < kFirstPictureWait;
}

double TPlayback::MasterClock() { return hasAudio ? AudioClockNow() : VideoClockNow(); }

// Opening a playback, the read thread that fills the packet queues, seeking
// and the opening and closing of the stream decoders.
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "media/ffmpeg_loader.h"
#include "media/media_text.h"
#include "media/wide_protocol.h"
#include "platform/code_page.h"
#include "platform/main_thread.h"
#include "player/player.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Lets a blocking read inside the libraries return once the playback must end.
int InterruptCallback(void* opaque) { return static_cast<TPlayback*>(opaque)->abortRequest.load() ? 1 : 0; }

bool IsCaptureFormat(const char* name) {
  return std::strcmp(name, "vfwcap") == 0 || std::strcmp(name, "vfwcapture") == 0;
}

}  // namespace

bool TCustomPlayer::OpenPlayback(const std::wstring& fileName, bool paused) {
  // Stop(true) ran before: no playback may be left here.
  if (playback_.load()) {
    RecordError("A playback is still open.");
    return false;
  }
  TPlayback* is = new (std::nothrow) TPlayback();
  if (!is) {
    RecordError("av_mallocz() failed.");
    return false;
  }
  is->owner = this;
  if (paused) {
    is->paused = true;
    is->openedPaused = 1;
  }
  is->fileName = fileName;
  is->left = is->top = 0;
  {
    std::lock_guard<std::mutex> guard(is->pictLock);
    is->frameTimer = double(lib::av_gettime()) / 1000000.0;
  }
  is->openedAt = lib::av_gettime();
  try {
    is->readThread = std::thread([this, is] { ReadThread(is); });
  } catch (const std::system_error&) {
    RecordError("SDL_CreateThread() failed.");
    delete is;
    return false;
  }
  platform::WaitServingMainThread([is] { return is->openStatus.load() != 0; }, 10);
  if (is->openStatus.load() == 1) {
    if (!is->hasVideo && !disableDisplay_) is->audioDisplayMode = 1;
    playback_ = is;
    try {
      is->refreshThread = std::thread([this, is] { RefreshThread(is); });
    } catch (const std::system_error&) {
      // No refresh: the pictures never advance, but stopping still works.
      Log(this, llError, "SDL_CreateThread() failed.");
    }
    return true;
  }
  platform::WaitServingMainThread([is] { return is->openStatus.load() != -1; }, 10);
  if (is->readThread.joinable()) is->readThread.join();
  delete is;
  ResetPlaybackState();
  return false;
}

void TCustomPlayer::ResetPlaybackState() {
  lastPositionReported_ = INT64_MIN;
  seekDoneEvent_.Set();
}

void TCustomPlayer::ReadThread(TPlayback* is) {
  AVFormatContext* ic = lib::avformat_alloc_context();
  AVPacket* pkt = lib::av_packet_alloc();
  const std::string shownName = platform::Utf8(is->fileName);
  bool eof = false;
  if (!ic || !pkt) {
    SetLastErrMsg("av_mallocz() failed.");
    goto end;
  }
  ic->interrupt_callback.callback = InterruptCallback;
  ic->interrupt_callback.opaque = is;
  {
    AVDictionary* opts = nullptr;
    if (frameWidth_ > 0 && frameHeight_ > 0)
      lib::av_dict_set(&opts, "video_size",
                       (std::to_string(frameWidth_) + "x" + std::to_string(frameHeight_)).c_str(), 0);
    lib::av_dict_set(&opts, "framerate", "25", 0);
    const int err = OpenInputByLibraryName(&ic, ToLibraryFileName(is->fileName), nullptr, &opts);
    lib::av_dict_free(&opts);
    if (err < 0) {
      ic = nullptr;  // freed by the opener
      SetLastErrMsg(ErrorText(shownName, err));
      goto end;
    }
  }
  is->ic = ic;
  if (lib::avformat_find_stream_info(ic, nullptr) < 0) {
    SetLastErrMsg(shownName + ": could not find codec parameters");
    goto end;
  }
  if (ic->pb) ic->pb->eof_reached = 0;
  is->imageSequence = std::strcmp(ic->iformat->name, "image2") == 0;
  is->captureInput = IsCaptureFormat(ic->iformat->name);
  if (ic->start_time != AV_NOPTS_VALUE) is->startTime = ic->start_time;
  is->duration = ic->duration != AV_NOPTS_VALUE ? ic->duration : -1;

  {
    // Everything is discarded until its decoder opens. Among the streams of
    // one kind the library's choice wins: the most frames seen while probing.
    for (unsigned i = 0; i < ic->nb_streams; ++i) ic->streams[i]->discard = AVDISCARD_ALL;
    int video = -1, audio = -1, subtitle = -1;
    if (!openingDisableVideo_) video = lib::av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (!disableAudio_) audio = lib::av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    if (!openingDisableVideo_)
      subtitle =
          lib::av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, -1, video >= 0 ? video : audio, nullptr, 0);
    if (audio >= 0) StreamComponentOpen(is, audio);
    if (video >= 0) StreamComponentOpen(is, video);
    if (subtitle >= 0) StreamComponentOpen(is, subtitle);
  }
  if (is->videoStream < 0 && is->audioStream < 0) {
    SetLastErrMsg(shownName + ": could not open codecs, no stream to play.");
    goto end;
  }

  is->openStatus = 1;
  platform::WakeMainThreadWait();  // the opening waits for this
  while (!is->abortRequest) {
    if (is->paused != is->lastPaused) {
      is->lastPaused = is->paused;
      if (is->lastPaused)
        is->readPauseResult = lib::av_read_pause(ic);
      else
        lib::av_read_play(ic);
    }
    if (is->seekRequest.load(std::memory_order_acquire)) {
      ExecuteSeek(is);
      eof = false;
      is->readEof = false;
    }
    const int64_t queued = is->audioq.Size() + is->videoq.Size() + is->subtitleq.Size();
    const bool wantMore =
        queued <= kMaxQueueBytes && ((is->audioStream >= 0 && is->audioq.Size() <= kMinAudioQueueBytes) ||
                                     (is->videoStream >= 0 && is->videoq.Count() <= kMinFramesQueued) ||
                                     (is->subtitleStream >= 0 && is->subtitleq.Count() <= kMinFramesQueued));
    if (!wantMore) {
      SleepMs(10);
      continue;
    }
    if (eof || (ic->pb && lib::avio_feof(ic->pb))) {
      is->readEof = true;
      if (is->videoStream >= 0) {
        // An empty packet lets the decoder give out its delayed pictures.
        lib::av_packet_unref(pkt);
        pkt->data = nullptr;
        pkt->size = 0;
        pkt->stream_index = is->videoStream;
        is->videoq.Put(pkt);
        frameDecodedEvent_.Set();
      }
      SleepMs(10);
      if (is->audioq.Size() + is->videoq.Size() + is->subtitleq.Size() == 0) is->endReached = true;
      continue;
    }
    is->insideRead = true;
    const int ret = lib::av_read_frame(ic, pkt);
    is->insideRead = false;
    if (is->abortRequest) break;
    if (ret < 0) {
      if (ret == AVERROR(EAGAIN)) {
        SleepMs(10);
        continue;
      }
      if (is->videoStream >= 0) frameDecodedEvent_.Set();
      if (!is->imageSequence && !is->readErrorReported) {
        is->readErrorReported = true;
        if (ret == AVERROR_EOF)
          Log(this, llInfo, "reach end of file: " + shownName);
        else
          LogFmt(this, llError, "error #%d while reading file: %s", ret, shownName.c_str());
      }
      if (ret == AVERROR_EOF) {
        eof = true;
        is->readEof = true;
      }
      if (ret != AVERROR_EOF && ic->pb && ic->pb->error) break;
      if (ret != AVERROR_EOF) SleepMs(100);
      continue;
    }
    if (pkt->stream_index == is->audioStream)
      is->audioq.Put(pkt);
    else if (pkt->stream_index == is->videoStream)
      is->videoq.Put(pkt);
    else if (pkt->stream_index == is->subtitleStream)
      is->subtitleq.Put(pkt);
    lib::av_packet_unref(pkt);
  }
  while (!is->abortRequest) SleepMs(100);

end:
  if (is->openStatus != 1) {
    is->openStatus = -1;
    platform::WakeMainThreadWait();
  }
  if (is->audioStream >= 0) StreamComponentClose(is, is->audioStream);
  if (is->videoStream >= 0) StreamComponentClose(is, is->videoStream);
  if (is->subtitleStream >= 0) StreamComponentClose(is, is->subtitleStream);
  if (ic) CloseInputByLibraryName(&ic);
  is->ic = nullptr;
  if (pkt) lib::av_packet_free(&pkt);
  if (is->openStatus == -1) {
    is->openStatus = -2;
    platform::WakeMainThreadWait();
  }
}

void TCustomPlayer::ExecuteSeek(TPlayback* is) {
  AVFormatContext* ic = is->ic;
  const int64_t target = is->seekPos;
  const int64_t minTs = is->seekRel > 0 ? target - is->seekRel + 2 : INT64_MIN;
  const int64_t maxTs = is->seekRel < 0 ? target - is->seekRel - 2 : INT64_MAX;
  int ret = lib::avformat_seek_file(ic, -1, minTs, target, maxTs, is->seekFlags);
  if (ret < 0) ret = lib::av_seek_frame(ic, -1, target, is->seekFlags);
  if (ret < 0) ret = lib::av_seek_frame(ic, -1, target, is->seekFlags ^ AVSEEK_FLAG_BACKWARD);
  if (ret < 0) {
    LogFmt(this, llError, "%s: error while seeking", platform::Utf8(is->fileName).c_str());
    if (is->videoStream >= 0) frameDecodedEvent_.Set();
  } else {
    AVPacket* flush = lib::av_packet_alloc();
    if (flush) MakeFlushPacket(flush);
    if (is->audioStream >= 0) {
      is->audioq.Flush();
      if (flush) is->audioq.Put(flush);
    }
    if (is->subtitleStream >= 0) {
      is->subtitleq.Flush();
      if (flush) is->subtitleq.Put(flush);
    }
    if (is->videoStream >= 0) {
      is->videoFlushSeen = false;
      is->videoq.Flush();
      if (flush) is->videoq.Put(flush);
      frameDecodedEvent_.Reset();
    }
    lib::av_packet_free(&flush);
  }
  is->readErrorReported = false;
  is->endReached = false;
  is->endReported = false;
  is->seekRequest = false;
  is->seekDone = true;
  seekDoneEvent_.Set();
  if (ic->pb) ic->pb->eof_reached = 0;
}

int TCustomPlayer::StreamComponentOpen(TPlayback* is, int index) {
  AVFormatContext* ic = is->ic;
  if (index < 0 || unsigned(index) >= ic->nb_streams) return -1;
  AVStream* st = ic->streams[index];
  const AVCodec* codec = lib::avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* ctx = codec ? lib::avcodec_alloc_context3(codec) : nullptr;
  bool opened = false;
  if (ctx && lib::avcodec_parameters_to_context(ctx, st->codecpar) >= 0) {
    ctx->pkt_timebase = st->time_base;
    ctx->workaround_bugs = 1;
    ctx->error_concealment = 3;
    // Pictures decode on the decoder's own threads; sound and subtitles are
    // cheap enough for one.
    ctx->thread_count = ctx->codec_type == AVMEDIA_TYPE_VIDEO ? 0 : 1;
    std::lock_guard<std::mutex> guard(CodecLock());
    opened = lib::avcodec_open2(ctx, codec, nullptr) >= 0;
  }
  if (!opened) {
    Log(this, llError, "avcodec_open() failed.");
    lib::avcodec_free_context(&ctx);
    return -1;
  }
  switch (ctx->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      is->audioCtx = ctx;
      if (!OpenAudioOutput(is)) {
        is->audioCtx = nullptr;
        std::lock_guard<std::mutex> guard(CodecLock());
        lib::avcodec_free_context(&ctx);
        return -1;
      }
      break;
    case AVMEDIA_TYPE_VIDEO:
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default: {
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&ctx);
      return -1;
    }
  }
  st->discard = AVDISCARD_DEFAULT;
  try {
    switch (ctx->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        is->videoStream = index;
        is->videoSt = st;
        is->videoCtx = ctx;
        is->decoderWidth = ctx->width;
        is->decoderHeight = ctx->height;
        is->videoq.Init();
        is->hasVideo = true;
        is->videoThread = std::thread([this, is] { VideoThread(is); });
        break;
      case AVMEDIA_TYPE_AUDIO:
        is->audioStream = index;
        is->audioSt = st;
        is->audioDuration = st->duration != AV_NOPTS_VALUE
                                ? lib::av_rescale_q(st->duration, st->time_base, AVRational{1, 1000000})
                                : -1;
        is->audioBufSize = 0;
        is->audioBufIndex = 0;
        is->audioq.Init();
        is->hasAudio = true;
        lib::SDL_PauseAudioDevice(is->audioDevice, 0);
        break;
      default:
        is->subtitleStream = index;
        is->subtitleSt = st;
        is->subtitleCtx = ctx;
        is->subtitleq.Init();
        is->subtitleThread = std::thread([this, is] { SubtitleThread(is); });
        break;
    }
  } catch (const std::system_error&) {
    Log(this, llError, "SDL_CreateThread() failed.");
  }
  return 0;
}

void TCustomPlayer::StreamComponentClose(TPlayback* is, int index) {
  AVCodecContext* ctx = nullptr;
  if (index == is->videoStream) {
    is->videoq.Abort();
    { std::lock_guard<std::mutex> guard(is->pictLock); }
    is->pictCond.notify_all();
    if (is->videoThread.joinable()) is->videoThread.join();
    is->videoq.End();
    ctx = is->videoCtx;
    is->videoCtx = nullptr;
    is->videoSt = nullptr;
    is->videoStream = -1;
  } else if (index == is->audioStream) {
    is->audioq.Abort();
    CloseAudioOutput(is);
    is->audioq.End();
    ctx = is->audioCtx;
    is->audioCtx = nullptr;
    is->audioSt = nullptr;
    is->audioStream = -1;
    is->audioDuration = -1;
  } else if (index == is->subtitleStream) {
    is->subtitleq.Abort();
    {
      std::lock_guard<std::mutex> guard(is->subLock);
      is->subtitleStreamChanged = true;
    }
    is->subCond.notify_all();
    if (is->subtitleThread.joinable()) is->subtitleThread.join();
    is->subtitleq.End();
    ctx = is->subtitleCtx;
    is->subtitleCtx = nullptr;
    is->subtitleSt = nullptr;
    is->subtitleStream = -1;
  } else {
    return;
  }
  if (is->ic && index >= 0 && unsigned(index) < is->ic->nb_streams)
    is->ic->streams[index]->discard = AVDISCARD_ALL;
  std::lock_guard<std::mutex> guard(CodecLock());
  lib::avcodec_free_context(&ctx);
}

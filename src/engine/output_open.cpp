// Creating an output file: muxer choice, the kinds of stream it carries,
// metadata, opening the file for writing and the muxing parameters; and
// closing outputs when the task is released.
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_util.h"
#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "media/wide_protocol.h"

using engine::Format;

namespace {

bool MuxerHasOption(const AVOutputFormat* fmt, const char* name) {
  return fmt->priv_class &&
         lib::av_opt_find2((void*)&fmt->priv_class, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ, nullptr);
}

// Removes the file an output created, when the path still names that very
// file and it is a plain one (never a device, a pipe, or a file that took
// the name since).
void RemoveCreatedFile(const std::string& path, const platform::TFileIdentity& created) {
  if (path.empty() || !created.Known || !created.Regular) return;
  const platform::TFileIdentity now = platform::FileIdentity(path);
  if (now.SameFileAs(created) && now.Regular) unlink(path.c_str());
}

// Seconds (mux delay, preload) as microseconds for the muxer's int fields,
// in float as the delay was always computed; values from option text or
// records may be anything ("1e30", "inf").
int ClampedMicroseconds(float seconds) { return engine::SaturatingInt(seconds * 1000000.0f); }

}  // namespace

int TCustomFFmpeg::OpenOutputFile(const std::wstring& fileName, bool join) {
  TOptionState& o = opt_;
  const std::string displayName = engine::WideToUtf8(fileName);
  if (join_) {
    openError_ = "Cannot join more than one output file.";
    return -1;
  }
  if (int(outputFiles_.size()) >= fileCapacity_) {
    openError_ = Format("max output files %d reached", fileCapacity_);
    return -1;
  }
  useVideoFilters_ = !o.VideoFilters.empty();
  const std::string libraryName = ToLibraryFileName(fileName);

  const AVOutputFormat* fmt = nullptr;
  if (!o.FileFormat.empty()) {
    // The forced format is used up by the open that finds its muxer; an
    // unknown one stays and fails the next open too.
    fmt = lib::av_guess_format(o.FileFormat.c_str(), nullptr, nullptr);
    if (!fmt) {
      openError_ = Format("Requested output format '%s' is not a suitable output format", o.FileFormat.c_str());
      return -1;
    }
    o.FileFormat.clear();
  } else {
    fmt = lib::av_guess_format(nullptr, libraryName.c_str(), nullptr);
    if (!fmt) {
      openError_ = Format("Unable to find a suitable output format for '%s'", displayName.c_str());
      return -1;
    }
  }
  // Never write onto an input of the task, whatever the name: a hard link,
  // a bind mount or another spelling of the same file.
  const std::string diskPath = DiskPathOfLibraryName(libraryName);
  const platform::TFileIdentity existing = platform::FileIdentity(diskPath);
  for (const TInputFile& in : inputFiles_) {
    if (existing.SameFileAs(in.Identity)) {
      openError_ = Format("%s: the output is the input file %s; an input is never overwritten",
                          displayName.c_str(), engine::WideToUtf8(in.FileName).c_str());
      return -1;
    }
  }
  // A feed server output would need a server outside the program.
  if (std::string(fmt->name) == "ffm" && libraryName.compare(0, 5, "http:") == 0) {
    openError_ = Format("%s: feed outputs are not supported", displayName.c_str());
    return -1;
  }

  AVFormatContext* ctx = nullptr;
  if (lib::avformat_alloc_output_context2(&ctx, fmt, nullptr, libraryName.c_str()) < 0 || !ctx)
    throw FFmpegException("avformat_alloc_context failed");

  const int fileIndex = int(outputFiles_.size());
  {
    TOutputFile file;
    file.Ctx = ctx;
    file.FileName = fileName;
    file.LibraryName = libraryName;
    std::lock_guard<std::mutex> guard(filesLock_);
    outputFiles_.push_back(std::move(file));
  }
  auto fail = [&](const std::string& error) {
    openError_ = error;
    TOutputFile& file = outputFiles_[size_t(fileIndex)];
    if (file.IoOpen) {
      CloseOutputIO(file.Ctx);
      RemoveCreatedFile(diskPath, file.Created);
    }
    for (size_t i = outputStreams_.size(); i-- > 0;) {
      if (outputStreams_[i]->FileIndex != fileIndex) continue;
      lib::avcodec_free_context(&outputStreams_[i]->Enc);
      lib::av_dict_free(&outputStreams_[i]->EncoderOptions);
      outputStreams_.erase(outputStreams_.begin() + long(i));
    }
    lib::av_dict_free(&file.MuxerOptions);
    lib::avformat_free_context(file.Ctx);
    std::lock_guard<std::mutex> guard(filesLock_);
    outputFiles_.pop_back();
    return -1;
  };

  bool useVideo = fmt->video_codec != AV_CODEC_ID_NONE || o.VideoStreamCopy || o.VideoCodecName;
  bool useAudio = fmt->audio_codec != AV_CODEC_ID_NONE || o.AudioStreamCopy || o.AudioCodecName;
  bool useSubtitle = fmt->subtitle_codec != AV_CODEC_ID_NONE || o.SubtitleStreamCopy || o.SubtitleCodecName;
  if (!inputFiles_.empty()) {
    bool hasVideo = false, hasAudio = false, hasSubtitle = false;
    size_t inspected = join ? 1 : inputFiles_.size();
    for (size_t f = 0; f < inspected; ++f) {
      AVFormatContext* in = inputFiles_[f].Ctx;
      for (unsigned i = 0; i < in->nb_streams; ++i) {
        switch (in->streams[i]->codecpar->codec_type) {
          case AVMEDIA_TYPE_VIDEO: hasVideo = true; break;
          case AVMEDIA_TYPE_AUDIO: hasAudio = true; break;
          case AVMEDIA_TYPE_SUBTITLE: hasSubtitle = true; break;
          default: break;
        }
      }
    }
    useVideo = useVideo && hasVideo;
    useAudio = useAudio && hasAudio;
    useSubtitle = useSubtitle && hasSubtitle;
  }
  if (o.AudioDisable) useAudio = false;
  if (o.VideoDisable) useVideo = false;
  if (o.SubtitleDisable) useSubtitle = false;

  // A stream that cannot be made consumes its kind's codec choice, so the
  // next output does not inherit the failing name.
  if (useVideo) {
    try {
      NewVideoStream(fileIndex);
    } catch (const FFmpegException& e) {
      o.VideoCodecName.reset();
      o.VideoStreamCopy = false;
      return fail(Format("new_video_stream fail: %s", e.what()));
    }
  }
  if (useAudio) {
    try {
      NewAudioStream(fileIndex);
    } catch (const FFmpegException& e) {
      o.AudioCodecName.reset();
      o.AudioStreamCopy = false;
      return fail(Format("new_audio_stream fail: %s", e.what()));
    }
  }
  if (useSubtitle) {
    try {
      NewSubtitleStream(fileIndex);
    } catch (const FFmpegException& e) {
      o.SubtitleCodecName.reset();
      o.SubtitleStreamCopy = false;
      return fail(Format("new_subtitle_stream fail: %s", e.what()));
    }
  }

  if (o.RecordingTimestamp) {
    std::time_t t = std::time_t(o.RecordingTimestamp);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    lib::av_dict_set(&ctx->metadata, "creation_time", text, 0);
  }
  for (size_t i = o.Metadata.size(); i-- > 0;)
    lib::av_dict_set(&ctx->metadata, o.Metadata[i].first.c_str(), o.Metadata[i].second.c_str(), 0);
  o.Metadata.clear();

  if ((fmt->flags & AVFMT_NEEDNUMBER) && !lib::av_filename_number_test(ctx->url))
    return fail(displayName + ": Number syntax expected in filename");

  // A muxer that opens its files itself only has a wide name handed over.
  if (const int ret = OpenOutputIO(ctx, libraryName); ret < 0)
    return fail(displayName + ": " + engine::LibraryErrorText(ret));
  if (!(fmt->flags & AVFMT_NOFILE)) {
    TOutputFile& opened = outputFiles_[size_t(fileIndex)];
    opened.IoOpen = true;
    opened.Created = platform::FileIdentity(diskPath);
    // Checked again on the file itself: the name may have changed hands
    // since the first look (it was opened with truncation, so an input
    // would already be lost; this only keeps it from being reported as a
    // success). The output is closed but not removed then.
    for (const TInputFile& in : inputFiles_) {
      if (opened.Created.SameFileAs(in.Identity)) {
        opened.Created = platform::TFileIdentity();
        return fail(Format("%s: the output is the input file %s; an input is never overwritten",
                           displayName.c_str(), engine::WideToUtf8(in.FileName).c_str()));
      }
    }
  }

  TOutputFile& file = outputFiles_[size_t(fileIndex)];
  ctx->max_delay = ClampedMicroseconds(o.MuxMaxDelay);
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  lib::av_dict_copy(&file.MuxerOptions, optionContext_->MuxerPrivate, 0);
  if (MuxerHasOption(fmt, "preload"))
    lib::av_dict_set_int(&file.MuxerOptions, "preload", ClampedMicroseconds(o.MuxPreload), 0);
  if (o.LoopOutput >= 0 && MuxerHasOption(fmt, "loop"))
    lib::av_dict_set_int(&file.MuxerOptions, "loop", o.LoopOutput, 0);
  CopyRecordedOptions(ctx, optionContext_->Format, AV_OPT_FLAG_ENCODING_PARAM);
  for (int32_t& id : o.StreamIdMap) id = 0;

  if (join && inputFiles_.size() > 1) {
    join_ = true;
    int64_t total = 0;
    bool known = false;
    for (const TInputFile& in : inputFiles_)
      if (in.Ctx->duration != AV_NOPTS_VALUE && in.Ctx->duration > 0) {
        total += in.Ctx->duration;
        known = true;
      }
    TotalDuration = known ? total : -1;
    for (size_t i = 1; i < inputFiles_.size() && int(outputFiles_.size()) < fileCapacity_; ++i) {
      TOutputFile shared;
      shared.Ctx = ctx;
      shared.FileName = fileName;
      shared.LibraryName = libraryName;
      shared.Shared = true;
      std::lock_guard<std::mutex> guard(filesLock_);
      outputFiles_.push_back(std::move(shared));
    }
  }
  return int(outputFiles_.size());
}

void TCustomFFmpeg::CloseOutputs() {
  for (auto& ost : outputStreams_) {
    if (ost->Enc) {
      std::lock_guard<std::mutex> guard(CodecLock());
      lib::avcodec_free_context(&ost->Enc);
    }
    lib::av_dict_free(&ost->EncoderOptions);
  }
  outputStreams_.clear();
  // Detached first: readers on other threads see no output from here on.
  std::vector<TOutputFile> files;
  {
    std::lock_guard<std::mutex> guard(filesLock_);
    files.swap(outputFiles_);
  }
  for (TOutputFile& file : files) {
    if (file.Shared || !file.Ctx) continue;
    if (file.IoOpen) {
      CloseOutputIO(file.Ctx);
      // Only a complete output stays: one whose task failed, never
      // started, or wrote no packet is not left behind.
      if (!file.Complete) RemoveCreatedFile(DiskPathOfLibraryName(file.LibraryName), file.Created);
    }
    lib::av_dict_free(&file.MuxerOptions);
    lib::avformat_free_context(file.Ctx);
    file.Ctx = nullptr;
  }
}

// TCustomFFmpeg: the transcoding context of one conversion task. It holds
// the option state, the opened inputs and outputs and the working tables of
// a run; TTaskRunner supplies the thread, pause/stop and the relays.
//
// Threads: everything except the TTaskRunner state runs on one thread at a
// time: the caller's thread while the task is set up (options, inputs,
// outputs), then the worker thread while it runs (Transcode, CloseCodecs,
// ReleaseAll). The component never touches a running task's tables.
// Every codec open/close and the stream-parameter discovery take CodecLock().
// The input and output lists are the exception: the main thread may ask for
// the opened files (InputFormatContext, the counts) while the worker closes
// them at the end of its run, so filesLock_ guards the lists themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/helper_class.h"
#include "engine/option_records.h"
#include "engine/option_state.h"
#include "engine/preview_window.h"
#include "engine/stage_pipeline.h"
#include "engine/task_runner.h"
#include "engine/transcode_types.h"
#include "engine/video_hooks.h"

class TCustomFFmpeg : public TTaskRunner {
 public:
  // fileCapacity: inputs and outputs the task accepts (1 to 512).
  explicit TCustomFFmpeg(int fileCapacity = kDefaultFileCapacity);
  ~TCustomFFmpeg() override;

  int FileCapacity() const { return fileCapacity_; }

  // Releases everything, restores the default option state and a fresh
  // option context, clears the run flags. Requires the libraries.
  void ResetTask();

  // ---- options ----
  void ParseOption(const std::string& name, const std::string& value);
  // Lines "name=value" separated by line breaks or "<CRLF>"; names are
  // lower-cased. acodec/vcodec/scodec/s only when includeCodecs.
  void ParseOptionText(const std::string& text, bool includeCodecs);
  // Sets an option of the libraries' codec, format or scaler tables, or a
  // private option of an encoder or muxer; true when found and set.
  bool SetGenericOption(const std::string& name, const std::string& value);
  // Copies the recorded generic options whose flags contain `flags` from the
  // option context's `source` to `target` (both objects with an AVClass).
  void CopyRecordedOptions(void* target, void* source, int flags);

  void SetAudioCodec(const std::string& name);
  void SetVideoCodec(const std::string& name);
  void SetSubtitleCodec(const std::string& name);
  void SetFrameSize(const std::string& size);
  void SetVideoFilters(const std::string& filters);
  // Presets, targets and video hooks (built with the preset and hook work).
  void SetPreset(const std::string& kind, const std::string& name);
  void SetTarget(const std::string& target, const std::string& norm, const std::string& defaultNorm);
  bool AddVideoHook(const std::string& commandLine);
  void ReleaseVideoHooks();
  // Runs the task's video hooks, in the order they were added, on a
  // picture in place (pts in µs). The frame form makes a picture that a
  // decoder still references writable first.
  void ProcessVideoHooks(uint8_t* const data[4], const int linesize[4], AVPixelFormat pixelFormat, int width,
                         int height, int64_t pts);
  void ProcessVideoHooks(AVFrame* picture, AVPixelFormat pixelFormat, int width, int height, int64_t pts);
  // The task's preview window (preview_window.h): shows a 24-bit BGR
  // picture, making the window on first use; false once the user closed
  // it. Close destroys it; the next picture makes a new one. Both wait for
  // the main thread: never call them holding PreviewLock().
  bool ShowPreviewWindow(const uint8_t* bits, int width, int height, int stride, int32_t frameNumber,
                         int64_t pts) {
    return previewWindow_.Show(bits, width, height, stride, frameNumber, pts);
  }
  void ClosePreviewWindow() { previewWindow_.Close(); }

  // ---- option records ----
  // The input record's ExtraOptions, FileFormat, StartTime and ProgramId, in
  // that order; then the caller opens the input.
  void ApplyInputOptions(const TInputOptions& options);
  // The output record's defaults, target, codecs, presets, option text and
  // fields, frame size and filters; then the caller opens the output.
  void ApplyOutputOptions(const TOutputOptions& options);
  // After the output opened: the "newaudio"/"newvideo"/"newsubtitle" lines.
  void CreateExtraStreams(const TOutputOptions& options);

  // ---- files ----
  // false with LastOpenError() set; throws FFmpegException for an unknown
  // forced format and allocation failures.
  bool OpenInputFile(const std::wstring& fileName);
  // The new output file count, or -1 with LastOpenError() set.
  int OpenOutputFile(const std::wstring& fileName, bool join);
  void NewVideoStream(int outputFile);
  void NewAudioStream(int outputFile);
  void NewSubtitleStream(int outputFile);

  // The opened file, or nullptr; safe to ask from any thread. The context
  // stays valid until the task closes its files: at the end of its run, or
  // when it is reset or destroyed.
  const AVFormatContext* InputFormatContext(int fileIndex) const;
  const AVFormatContext* OutputFormatContext(int fileIndex) const;
  const std::string& LastOpenError() const { return openError_; }

  int InputCount() const override;
  int OutputCount() const override;

  // ---- the run (task body) ----
  // For a stop that must not wait: the run skips draining the decoders and
  // encoders at its end and only writes the trailers. Any thread; takes
  // effect with a stop request (RequestStop).
  void SkipFlush() { skipFlush_ = true; }
  // Whether a run on a worker thread overlaps its stages: reading and
  // decoding on a thread of their own, ahead of the output side (see
  // stage_pipeline.h). The outputs are the same either way. Set before the
  // run starts.
  bool OverlapStages = true;
  // Where an overlapped run puts its helper threads (stage_pipeline.h). Set
  // before the run starts.
  THelperClass HelperClass = THelperClass::IdleWhenQuiet;
  // Where an overlapped run reads the clock and the machine's load for
  // that (helper_class.h). Set before the run starts.
  TLoadSource LoadSource = TLoadSource::System();
  // After a run: whether it overlapped its stages, whether its helper
  // threads went to the idle scheduling class, and how often they came back
  // from it because other programs got busy.
  bool RanOverlapped() const { return ranOverlapped_; }
  bool HelpersWentIdle() const { return helpersWentIdle_; }
  int HelperReturns() const { return helperReturns_; }
  // After the run: how the inputs that ended before their stated duration
  // ended ("input ended at 2.3 s of 8.0 s"), or "" when none did.
  const std::string& InputEndNote() const { return inputEndNote_; }
  void Transcode() override;
  void CloseCodecs() override;
  void ReleaseAll() override;

  // ---- read access for tests and the component ----
  TOptionState& Options() { return opt_; }
  const TOptionState& Options() const { return opt_; }
  TOptionContext* OptionContext() { return optionContext_.get(); }
  const std::vector<std::unique_ptr<TOutputStream>>& OutputStreams() const { return outputStreams_; }
  const std::vector<TInputFile>& InputFiles() const { return inputFiles_; }
  const std::vector<TOutputFile>& OutputFiles() const { return outputFiles_; }
  bool JoinFlag() const { return join_; }

 protected:
  // ---- output paths (audio_path.cpp, video_path.cpp, report.cpp) ----
  // One decoded audio frame of `ist` (a Samples item) for the encoding
  // output stream `ost`.
  void DoAudioOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const TStageItem& item);
  // One decoded (pre-processed, filtered) picture (a Picture item) for `ost`.
  void DoVideoOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const TStageItem& item);
  // One decoded subtitle for `ost`.
  void DoSubtitleOut(TOutputFile& of, TOutputStream& ost, TInputStream& ist, AVSubtitle* sub,
                     int64_t pts);
  // Before a decoded picture reaches any output: deinterlace, hooks.
  void PreProcessVideoFrame(TInputStream& ist, AVFrame* frame);
  // Builds the video filter graph between ist and ost; 0 or -1.
  int ConfigureFilters(TInputStream& ist, TOutputStream& ost);
  // Hands the pictures the filter graph of ist has ready to its encoding
  // outputs; at the end of the stream (flush) the graph first gets its end,
  // so that pictures it holds back come out too.
  void DeliverFilteredPictures(TInputStream& ist, bool flush);
  // An encoder size taken from the input that the encoder cannot take
  // exactly becomes the nearest smaller one it can (logged); the rest of
  // the picture is cut off at the right and bottom when the size is the
  // whole picture inside the bands, else scaled away.
  void FitSizeToEncoder(TOutputStream& ost, int shownWidth, int shownHeight);
  // Whether interlaced input pictures are deinterlaced for this run.
  void DecideAutoDeinterlace();
  // End of stream: hands what the audio path still holds (FIFO rest) to the
  // encoder. The encoder drain itself is DrainEncoder().
  void FlushAudioOut(TOutputFile& of, TOutputStream& ost);
  // Progress report (rate limiting is the loop's); fileIndex -1 when last.
  void PrintReport(int fileIndex, bool last);
  // Per-frame statistics line after a video frame was encoded.
  void DoVideoStats(TOutputStream& ost, int frameSize);
  // Frees what the output paths allocated for a stream / for the task.
  void ReleaseOutputPathState(TOutputStream& ost);
  void ReleaseTaskPathState();
  // Hands whole encoder frames from the audio FIFO to the encoder (at the
  // end of the stream also the rest).
  void EncodeAudioFifo(TOutputFile& of, TOutputStream& ost, bool last);
  // For every encoded packet, before it is written: remembers its quality
  // statistics for the report and writes the statistics-file line.
  void NoteEncodedPacket(TOutputStream& ost, const AVPacket* pkt);
  // At most once per preview interval: the picture (pts in µs, the
  // frameNumber-th decoded) as a bitmap to the preview relay or the preview
  // window, as PreviewFlags ask.
  void PreviewStep(const AVFrame* picture, int64_t pts, int64_t frameNumber);

  // ---- shared by the loop and the output paths ----
  // Receives every packet the encoder has ready, counts it, rescales it to
  // the stream's time base, writes first-pass statistics and writes it.
  // Returns the number of packets written; throws "Audio/Video encoding failed".
  int ReceiveEncodedPackets(TOutputFile& of, TOutputStream& ost);
  // Sends end of stream to the encoder and writes the rest.
  void DrainEncoder(TOutputFile& of, TOutputStream& ost);
  // Hands a frame (taken) to the stream's encoder, or to its thread, and
  // writes the packets that are ready; throws "Audio/Video encoding failed".
  void EncodeFrame(TOutputFile& of, TOutputStream& ost, AVFrame* frame);
  // Counts, notes and writes one packet the encoder made (encoder time base).
  void WriteEncodedPacket(TOutputFile& of, TOutputStream& ost, AVPacket* pkt);
  // Writes what the stream's encoder thread made so far; untilDrained: all
  // of it, after the end was handed over.
  void WriteWorkerPackets(TOutputFile& of, TOutputStream& ost, bool untilDrained);
  // Passes a packet (in the stream's time base) through the stream's
  // bitstream filters and writes it interleaved; takes the packet's data.
  void WriteFrame(TOutputFile& of, TOutputStream& ost, AVPacket* pkt);

  TOptionState opt_;
  std::unique_ptr<TOptionContext> optionContext_;
  TRunState run_;
  // Guards the membership of inputFiles_ and outputFiles_ (and TFFmpeg's
  // probes) against readers on other threads. The thread that owns the task
  // reads the lists without it; they change only on that thread, and the
  // closing of the files detaches them under the lock first. Taken alone,
  // never held while calling out.
  mutable std::mutex filesLock_;
  std::vector<TInputFile> inputFiles_;                         // changed under filesLock_
  std::vector<TOutputFile> outputFiles_;                       // changed under filesLock_
  std::vector<std::unique_ptr<TOutputStream>> outputStreams_;  // creation (= file) order
  std::string openError_;
  bool join_ = false;
  bool useVideoFilters_ = false;
  // name=value lines of the output being configured: the def_ defaults and
  // every codec/preset/size/filter line of its option text, in order.
  std::vector<std::pair<std::string, std::string>> defaultsList_;
  // Channel layout of the last audio input stream opened (for new audio streams).
  AVChannelLayout inputLayout_{};
  // Video hooks of the task (option vhook) and its preview window; used by
  // the task's thread (video_hooks.cpp, preview_window.h).
  TVideoHooks videoHooks_;
  TPreviewWindow previewWindow_;

 private:
  // Option helpers (options_*.cpp).
  void ParseBitRate(const std::string& name, const std::string& value);
  void ParseAspect(const std::string& value);
  void ParseCrop(const std::string& name, const std::string& value);
  void ParseTag(const std::string& name, const std::string& value);
  void ParseMatrix(const std::string& name, const std::string& value);
  void ParseBitstreamFilter(const std::string& name, const std::string& value);
  void ParseStreamMap(const std::string& value);
  void ParseFrameSize(const std::string& value);
  void NewStreamOption(const std::string& name);
  bool SetPrivateOption(const std::string& name, const std::string& value, bool& found);

  // Input and output helpers.
  void CloseOutputs();
  void CloseInputs();
  AVStream* AddOutputStream(int outputFile, AVMediaType type, TOutputStream*& ost);
  // Maps the streams and opens the codecs and outputs; an overlapped run
  // (ranOverlapped_, decided here) leaves the encoders and StartOutputs to
  // its output side.
  void SetupMapping();        // stream_mapping.cpp
  void SetupCopy(TOutputStream& ost, TInputStream& ist);
  void SetupEncode(TOutputStream& ost, TInputStream& ist);
  void OpenEncoders();
  void OpenDecoders();
  void InitBitstreamFilters(TOutputStream& ost);
  void WriteHeaders();
  void LogStreamMapping();
  // With the encoders open: the bitstream filters, the headers, the mapping
  // in the log, the encoders' aspect.
  void StartOutputs();
  void RunLoop();             // transcode_loop.cpp
  // The reading side: reads, decodes and emits until the inputs end or a
  // stop, then flushes the decoders (unless told to skip it).
  void ReadInputs();
  void ReportIfDue(int fileIndex);
  // Overlapped stages (stage_run.cpp): whether this run may overlap, the
  // run itself, and the hand-over of one item from the reading side (at
  // once, or queued when overlapped; a subtitle is taken from `subtitle`
  // when queued) and its handling on the output side.
  bool CanOverlap() const;
  void RunOverlapped();
  // Samples the machine's load when the keeper wants it, and moves the
  // helper threads (the decoders' and sound encoders' and the reading
  // thread) between the scheduling classes as it decides; the output side
  // goes nicer beside idle helpers and back to `outputNiceness` after them.
  void KeepHelperClass(THelperClassKeeper& keeper, std::vector<int> helpers, int readerId, int outputNiceness);
  void Emit(TStageItem& item, AVSubtitle* subtitle = nullptr);
  void RunStageItem(TStageItem& item);
  // Trailers, flushed: marks the outputs that are complete; returns the
  // first failure ("" for none).
  std::string FinishOutputs();
  void NoteEarlyInputEnds();
  int ProcessPacket(TInputStream& ist, const AVPacket* pkt);
  // pts: the input stream's position (µs), for a packet without its own time.
  void CopyPacket(TOutputFile& of, TOutputStream& ost, TInputStream& ist, const AVPacket* pkt, int64_t pts);
  void HandleDecodedFrame(TInputStream& ist, AVFrame* frame);
  void ApplyVolume(AVFrame* frame);
  void FreeRun();
  // Closes the decoders still open (the reading side's, once it is done).
  void CloseDecoders();

  int fileCapacity_;
  std::atomic<bool> skipFlush_{false};
  std::string inputEndNote_;  // written by the run, read after it ended
  // The queue to the output side while the run overlaps its stages, else
  // null. Set and cleared by the task's thread while no reading side runs.
  TStageQueue* stageQueue_ = nullptr;
  bool ranOverlapped_ = false;    // decided by the run's set-up, read after it ended
  bool helpersWentIdle_ = false;  // likewise
  int helperReturns_ = 0;         // likewise
};

// A run with overlapped stages (see stage_pipeline.h): the reading side on a
// thread of its own, the output side on the task's thread; and the output
// side's handling of one stage item, which the one-thread run shares.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <memory>
#include <vector>
#include <system_error>
#include <thread>

#include "engine/custom_ffmpeg.h"
#include "engine/encoder_worker.h"
#include "engine/stage_pipeline.h"
#include "media/library_tables.h"
#include "platform/cpu_load.h"
#include "platform/main_thread.h"
#include "platform/thread_priority.h"

bool TCustomFFmpeg::CanOverlap() const {
  // The main thread keeps the one-thread run: its waits would have to serve
  // the calls the reading side hands to it.
  if (!OverlapStages || platform::IsMainThread()) return false;
  // Which input to read next, the frame limits and the size limit depend on
  // what the outputs have written; with those the reading side has to wait
  // for the output side anyway.
  if (inputFiles_.size() != 1 || opt_.LimitFileSize) return false;
  if (std::any_of(std::begin(opt_.MaxFrames), std::end(opt_.MaxFrames),
                  [](int32_t m) { return m != INT32_MAX; }))
    return false;
  // Copying alone leaves nothing to overlap.
  return std::any_of(outputStreams_.begin(), outputStreams_.end(),
                     [](const auto& ost) { return ost->EncodingNeeded; });
}

void TCustomFFmpeg::Emit(TStageItem& item, AVSubtitle* subtitle) {
  if (!stageQueue_) {
    if (subtitle) item.Subtitle = *subtitle;  // borrowed: the caller frees it
    RunStageItem(item);
    return;
  }
  if (!stageQueue_->Push(OwnedStageItem(item, subtitle))) throw TStageQueueClosed();
}

void TCustomFFmpeg::RunStageItem(TStageItem& item) {
  TInputStream& ist = run_.InputStreams[size_t(item.Input)];
  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    if (ost.SourceIndex != item.Input) continue;
    TOutputFile& of = outputFiles_[size_t(ost.FileIndex)];
    switch (item.Kind) {
      case TStageKind::Picture:
        if (!ost.EncodingNeeded) break;
        if (item.Filtered && item.Frame->sample_aspect_ratio.num) ost.EncoderAspect = item.Frame->sample_aspect_ratio;
        DoVideoOut(of, ost, ist, item);
        break;
      case TStageKind::Samples:
        if (ost.EncodingNeeded) DoAudioOut(of, ost, ist, item);
        break;
      case TStageKind::Subtitle:
        if (ost.EncodingNeeded) DoSubtitleOut(of, ost, ist, &item.Subtitle, item.Pts);
        break;
      case TStageKind::CopiedPacket:
        if (ost.StreamCopy) CopyPacket(of, ost, ist, item.Packet, item.Pts);
        break;
      case TStageKind::StreamEnd:
        if (!ost.EncodingNeeded || !ost.EncoderOpen) break;
        if (ost.Type == AVMEDIA_TYPE_AUDIO) {
          FlushAudioOut(of, ost);
          DrainEncoder(of, ost);
        } else if (ost.Type == AVMEDIA_TYPE_VIDEO) {
          DrainEncoder(of, ost);
        }
        break;
      case TStageKind::InputEnd:
      case TStageKind::Failure:
        return;
    }
  }
}

void TCustomFFmpeg::RunOverlapped() {
  TStageQueue queue;
  stageQueue_ = &queue;
  helpersWentIdle_ = false;
  helperReturns_ = 0;
  std::vector<int> helpers = run_.DecoderThreads;
  std::atomic<int> readerId{0};
  // The reading side ends with an InputEnd or a Failure item, or at once
  // when the queue is closed under it. Its thread takes the task thread's
  // priority (Linux threads inherit it).
  std::thread reader;
  try {
    reader = std::thread([this, &queue, &readerId] {
      readerId = platform::CurrentThreadId();
      platform::LowerCurrentThreadPriority(kHelperNicenessStep);
      TStageItem last;
      try {
        ReadInputs();
        // Done with the decoders: closing them (their threads, their
        // pictures) overlaps the output side's last pictures. What is
        // queued keeps its own references.
        CloseDecoders();
        last.Kind = TStageKind::InputEnd;
      } catch (const TStageQueueClosed&) {
        return;
      } catch (...) {
        last.Kind = TStageKind::Failure;
        last.Error = std::current_exception();
      }
      queue.Push(std::move(last));
    });
  } catch (const std::system_error&) {
    // No second thread: the run goes on in one.
    stageQueue_ = nullptr;
    OpenEncoders();
    StartOutputs();
    ReadInputs();
    return;
  }
  // Each encoder gets a thread of its own, so that it is fed while this
  // side prepares what comes next and the other encoders work beside it.
  std::vector<std::unique_ptr<TEncoderWorker>> workers;
  // However this side ends, the other threads are told and awaited before
  // the run's tables go away.
  struct TJoin {
    TCustomFFmpeg& task;
    TStageQueue& queue;
    std::thread& reader;
    std::vector<std::unique_ptr<TEncoderWorker>>& workers;
    ~TJoin() {
      queue.Close();
      reader.join();
      task.stageQueue_ = nullptr;
      workers.clear();  // each closes and joins its thread
      for (auto& entry : task.outputStreams_) entry->Worker = nullptr;
    }
  } join{*this, queue, reader, workers};
  // The reading side decodes the first pictures meanwhile.
  OpenEncoders();
  StartOutputs();
  for (auto& entry : outputStreams_) {
    TOutputStream& ost = *entry;
    if (!ost.EncodingNeeded || !ost.EncoderOpen) continue;
    if (ost.Type != AVMEDIA_TYPE_VIDEO && ost.Type != AVMEDIA_TYPE_AUDIO) continue;
    try {
      workers.push_back(std::make_unique<TEncoderWorker>(ost));
    } catch (const std::system_error&) {
      continue;  // no thread: this encoder is fed by this side
    }
    ost.Worker = workers.back().get();
    if (ost.Type == AVMEDIA_TYPE_AUDIO) helpers.push_back(ost.Worker->ThreadId());
  }
  THelperClassKeeper keeper(HelperClass, LoadSource.CanLeaveIdle(), run_.Began);
  const int outputNiceness = platform::CurrentThreadNiceness();

  for (;;) {
    SafePoint();  // a paused task waits here too, holding no lock
    TStageItem item;
    // Waiting in slices: a starved reading side is noticed even while it
    // sends nothing.
    const TStageQueue::TPopped popped = queue.PopFor(item, std::chrono::milliseconds(kLoadWatchSliceMs));
    if (readerId != 0) KeepHelperClass(keeper, helpers, readerId, outputNiceness);
    if (popped == TStageQueue::TPopped::TimedOut) continue;
    if (popped == TStageQueue::TPopped::Closed || item.Kind == TStageKind::InputEnd) break;
    if (item.Kind == TStageKind::Failure) std::rethrow_exception(item.Error);
    try {
      // A stop that must not wait leaves what is queued, as the one-thread
      // run leaves what the decoders hold.
      if (!(skipFlush_ && StopRequested())) RunStageItem(item);
    } catch (...) {
      FreeStageItem(item);
      throw;
    }
    FreeStageItem(item);
    ReportIfDue(0);
  }
}

void TCustomFFmpeg::KeepHelperClass(THelperClassKeeper& keeper, std::vector<int> helpers, int readerId,
                                    int outputNiceness) {
  if (!keeper.Due(LoadSource.Now())) return;
  const THelperClassKeeper::TMove move = keeper.Next(LoadSource.Sample());
  if (move == THelperClassKeeper::TMove::None) return;
  helpers.push_back(readerId);
  // The output side's niceness changes only on the task's own thread,
  // which ends with the task.
  if (move == THelperClassKeeper::TMove::ToIdle) {
    platform::MoveThreadsToIdleClass(helpers);
    // This side too makes way for the picture encoder: the encoder's queue
    // holds enough for it to prepare the next pictures in the encoder's
    // pauses.
    if (OnWorkerThread()) platform::LowerCurrentThreadPriority(kHelperNicenessStep);
    helpersWentIdle_ = true;
    return;
  }
  if (!platform::MoveThreadsOutOfIdleClass(helpers)) keeper.Stop();
  if (OnWorkerThread()) platform::SetCurrentThreadNiceness(outputNiceness);
  ++helperReturns_;
}

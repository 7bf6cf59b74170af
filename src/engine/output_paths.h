// Working state of the audio and video output paths and of the report that
// the transcoding tables (transcode_types.h) point to: per output stream
// TStreamPathState, per task TTaskPathState. Both free what they hold in
// their destructors, so resetting the owning pointer releases everything.
// Like the rest of the run tables they are used only by the thread that runs
// the task.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/transcode_types.h"
#include "media/frame_to_bitmap.h"

// Quality statistics the encoder attaches to a packet
// (AV_PKT_DATA_QUALITY_STATS): quantizer in lambda units, picture type and
// the per-plane squared error when PSNR is computed.
struct TPacketQuality {
  bool Valid = false;
  int Quality = 0;
  int PictType = 0;  // AVPictureType
  uint64_t Error[4] = {};
};

struct TStreamPathState {
  TStreamPathState() = default;
  TStreamPathState(const TStreamPathState&) = delete;
  TStreamPathState& operator=(const TStreamPathState&) = delete;
  ~TStreamPathState();

  // ---- audio ----
  // The sample conversion in front of the FIFO is built for these input
  // parameters; a change rebuilds it.
  int InFormat = -1;
  int InRate = 0;
  int InChannels = 0;
  bool Converting = false;  // Resampler of the stream in use
  // Conversion output, in the encoder's format; grows only.
  uint8_t** ConvData = nullptr;
  int ConvCapacity = 0;  // samples
  AVFrame* AudioFrame = nullptr;  // frame handed to the encoder
  bool SyncWarned = false;

  // ---- video ----
  AVFrame* CropFrame = nullptr;  // view of the decoded picture inside the crop bands
  AVFrame* ScaledFrame = nullptr;  // cropped picture copied to aligned buffers
  int64_t FramesSent = 0;  // pictures handed to the encoder (the vframes limit)

  // ---- report ----
  TPacketQuality LastQuality;  // of the last packet written
};

struct TTaskPathState {
  TTaskPathState() = default;
  TTaskPathState(const TTaskPathState&) = delete;
  TTaskPathState& operator=(const TTaskPathState&) = delete;
  ~TTaskPathState();

  // Deinterlacing graph (buffer -> deinterlacer -> buffersink), rebuilt when
  // the picture size or format changes.
  AVFilterGraph* DeintGraph = nullptr;
  AVFilterContext* DeintIn = nullptr;
  AVFilterContext* DeintOut = nullptr;
  AVFrame* DeintFrame = nullptr;
  int DeintWidth = 0, DeintHeight = 0, DeintFormat = -1;
  bool DeintFailed = false;  // no deinterlacer in the filter library: logged once
  // Pictures the decoder marks interlaced are deinterlaced for outputs
  // that are all coded progressive (decided when the run is set up).
  bool AutoDeinterlace = false;
  bool AutoDeinterlaceLogged = false;

  // Pictures as bitmaps for the custom hook and for the preview.
  TFrameBitmapConverter Hook;
  TFrameBitmapConverter Preview;
  int64_t LastPreviewTime = INT64_MIN;  // wall clock, µs
};

// The path states of a stream / task, created on first use.
TStreamPathState& StreamPathState(TOutputStream& ost);
TTaskPathState& TaskPathState(TRunState& run);

// Remembers the quality statistics of an encoded packet for the report and
// the statistics file; the packet receive loop calls it for every packet.
void NotePacketQuality(TOutputStream& ost, const AVPacket* pkt);

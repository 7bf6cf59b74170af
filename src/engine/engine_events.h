// Event records of the engine component and the error type of a task.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class TBitmap;  // media/bitmap.h: 24-bit BGR, top-down rows

// Raised inside a conversion task; the component boundary turns it into a
// false / -1 result with LastErrMsg, or into the terminate record.
class FFmpegException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TProgressInfo {
  int32_t TaskIndex = 0;
  int32_t FileIndex = 0;        // -1 in a task's final report
  int32_t FrameNumber = -1;     // -1 without a video output stream
  int32_t FPS = -1;
  float Quality = -1;
  float BitRate = 0;            // kbit/s
  int64_t TotalSize = 0;        // bytes written to the first output
  int64_t CurrentDuration = 0;  // µs
  int64_t TotalDuration = -1;   // µs, -1 when unknown
};
using PProgressInfo = TProgressInfo*;

struct THookInfo {
  int32_t TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int32_t FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = true;     // in-out
  bool StopHook = false;  // in-out
};
using PHookInfo = THookInfo*;

struct TPreviewInfo {
  int32_t TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int32_t FrameNumber = 0;
  int64_t PTS = 0;
};

struct TTerminateInfo {
  int32_t TaskIndex = -1;  // -1 for the end of the whole batch
  bool Finished = true;
  bool Exception = false;
  std::string ExceptionMsg;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Preview flag bits of a task.
constexpr int kPreviewWindowFlag = 1;
constexpr int kPreviewBitmapFlag = 2;

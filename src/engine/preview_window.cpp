#include "engine/preview_window.h"

#include <cstdio>

#include "media/ffmpeg_logger.h"
#include "platform/main_thread.h"

namespace {

std::atomic<TPreviewHost*> gHost{nullptr};
std::atomic<bool> gNoHostLogged{false};

}  // namespace

void RegisterPreviewHost(TPreviewHost* host) { gHost = host; }

TPreviewHost* RegisteredPreviewHost() { return gHost; }

std::string PreviewCaption(int64_t pts) {
  if (pts == INT64_MIN) return "N/A";
  char text[64];
  std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%.3d", int(pts / 1000000 / 60 / 60),
                int((pts / 1000000 / 60) % 60), int((pts / 1000000) % 60), int((pts % 1000000) * 1000 / 1000000));
  return text;
}

bool TPreviewWindow::Show(const uint8_t* bits, int width, int height, int stride, int32_t frameNumber,
                          int64_t pts) {
  if (closed_) return false;
  if (!bits || width <= 0 || height <= 0) return false;
  if (!RegisteredPreviewHost()) {
    if (!gNoHostLogged.exchange(true))
      Log(this, llInfo, "Preview window: no window host in this program, previews are not shown");
    return false;
  }
  TPreviewFrame frame;
  frame.Bits = bits;
  frame.Width = width;
  frame.Height = height;
  frame.Stride = stride;
  frame.FrameNumber = frameNumber;
  frame.PTS = pts;
  frame.Caption = PreviewCaption(pts);
  enum { kShown, kRefused, kWithdrawn } outcome = kRefused;
  const unsigned generation = generation_;
  platform::CallInMainThread([&] {
    // A Close that ran while this call waited for the main thread (the
    // component clearing Preview) wins: no window comes back for it.
    if (generation_ != generation) {
      outcome = kWithdrawn;
      return;
    }
    // The host is looked up again here: it may have gone meanwhile.
    TPreviewHost* host = RegisteredPreviewHost();
    if (!host) return;
    if (!open_) {
      if (!host->OpenPreview(this, width, height)) return;
      open_ = true;
    }
    if (host->ShowPreviewFrame(this, frame)) outcome = kShown;
  });
  if (outcome == kRefused) closed_ = true;
  return outcome == kShown;
}

void TPreviewWindow::Close() {
  ++generation_;
  if (open_) {
    platform::CallInMainThread([this] {
      if (TPreviewHost* host = RegisteredPreviewHost()) host->ClosePreview(this);
      open_ = false;
    });
  }
  closed_ = false;
}

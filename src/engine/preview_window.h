// The preview window of a converting task: a small always-on-top tool
// window that shows the task's pictures while it converts (the
// component's Preview property).
//
// The engine has no widgets of its own. The program registers a host at
// start-up that creates, draws and destroys the windows; the engine reaches
// it only through platform::CallInMainThread, so every host call runs on
// the main thread while the task's thread waits. Without a registered host
// (the command line, tests without a GUI) previews have no visible effect,
// which the log says once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// One picture for the window: 24-bit BGR, rows top-down, Stride bytes
// apart. The bits belong to the caller and are valid only during the call.
struct TPreviewFrame {
  const uint8_t* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;
  int32_t FrameNumber = 0;
  int64_t PTS = 0;      // µs
  std::string Caption;  // the picture's time, "hh:mm:ss.mmm"
};

// Implemented by the GUI. Every call arrives on the main thread. owner
// identifies one task's window.
class TPreviewHost {
 public:
  virtual ~TPreviewHost() = default;
  // Creates the window of owner with a client area of width × height,
  // centred on the screen, and shows it. false when it cannot be made.
  virtual bool OpenPreview(const void* owner, int width, int height) = 0;
  // Draws frame at (0, 0) and sets the caption. false once the user has
  // closed the window of owner.
  virtual bool ShowPreviewFrame(const void* owner, const TPreviewFrame& frame) = 0;
  // Destroys the window of owner; nothing when it has none.
  virtual void ClosePreview(const void* owner) = 0;
};

// Registers the program's host (nullptr removes it). Call on the main
// thread, with no task converting: at start-up and before the host is
// destroyed.
void RegisterPreviewHost(TPreviewHost* host);
TPreviewHost* RegisteredPreviewHost();

// The caption of a picture shown at pts (µs): "hh:mm:ss.mmm", "N/A" for
// the no-time value.
std::string PreviewCaption(int64_t pts);

// One task's preview window as the engine sees it. Show is called by the
// task's thread; Close by the task's thread or the component's. Neither may
// be called while holding PreviewLock() or any lock the main thread may
// wait for: both wait for the main thread.
class TPreviewWindow {
 public:
  TPreviewWindow() = default;
  TPreviewWindow(const TPreviewWindow&) = delete;
  TPreviewWindow& operator=(const TPreviewWindow&) = delete;
  ~TPreviewWindow() { Close(); }

  // Shows a picture, creating the window on first use. false when the user
  // has closed the window (at once, without the main thread, once that is
  // known), when the window cannot be made, or when there is no host.
  bool Show(const uint8_t* bits, int width, int height, int stride, int32_t frameNumber, int64_t pts);
  // Destroys the window (in the main thread). A later Show makes a new one.
  void Close();
  // The user closed the window; cleared by Close.
  bool ClosedByUser() const { return closed_; }

 private:
  std::atomic<bool> open_{false};    // a host window exists for this object
  std::atomic<bool> closed_{false};  // the user closed it
  std::atomic<unsigned> generation_{0};  // counts Close calls
};

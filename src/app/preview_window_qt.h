// The preview windows of converting tasks, drawn with Qt: one small
// always-on-top tool window per task, centred on the screen, with only a
// close button; its caption is the time of the picture shown. A press of
// the left button anywhere in it drags the window.
//
// Main thread only: the engine reaches the host through
// platform::CallInMainThread (engine/preview_window.h).
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <map>

#include "engine/preview_window.h"

class PreviewWidget : public QWidget {
  Q_OBJECT

 public:
  PreviewWidget(int width, int height);

  void SetFrame(const TPreviewFrame& frame);
  // The user closed the window.
  bool ClosedByUser() const { return closed_; }
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  bool closed_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;  // press position relative to the window's corner
};

class QtPreviewHost : public TPreviewHost {
 public:
  QtPreviewHost() = default;
  QtPreviewHost(const QtPreviewHost&) = delete;
  QtPreviewHost& operator=(const QtPreviewHost&) = delete;
  // Destroys the windows left and withdraws the registration.
  ~QtPreviewHost() override;

  // Makes this the engine's host (RegisterPreviewHost).
  void Register();

  bool OpenPreview(const void* owner, int width, int height) override;
  bool ShowPreviewFrame(const void* owner, const TPreviewFrame& frame) override;
  void ClosePreview(const void* owner) override;

  // The window of owner, or nullptr.
  PreviewWidget* Window(const void* owner) const;
  int WindowCount() const { return int(windows_.size()); }

 private:
  std::map<const void*, QPointer<PreviewWidget>> windows_;
};

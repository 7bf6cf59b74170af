#include "app/preview_window_qt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

PreviewWidget::PreviewWidget(int width, int height)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName("PreviewWindow");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(width, height);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width / 2, height / 2));
  }
}

void PreviewWidget::SetFrame(const TPreviewFrame& frame) {
  // The engine's bits are valid only during the call: keep a copy.
  QImage image(frame.Width, frame.Height, QImage::Format_BGR888);
  const int rowBytes = frame.Width * 3;
  for (int y = 0; y < frame.Height; ++y)
    std::copy(frame.Bits + size_t(y) * size_t(frame.Stride), frame.Bits + size_t(y) * size_t(frame.Stride) + rowBytes,
              image.scanLine(y));
  picture_ = std::move(image);
  if (size() != picture_.size()) setFixedSize(picture_.size());
  setWindowTitle(QString::fromStdString(frame.Caption));
  update();
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull())
    painter.fillRect(rect(), Qt::black);
  else
    painter.drawImage(QPoint(0, 0), picture_);
}

void PreviewWidget::closeEvent(QCloseEvent* event) {
  closed_ = true;
  event->accept();
}

void PreviewWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  move(event->globalPosition().toPoint() - dragOffset_);
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

QtPreviewHost::~QtPreviewHost() {
  if (RegisteredPreviewHost() == this) RegisterPreviewHost(nullptr);
  for (auto& [owner, window] : windows_) delete window.data();
}

void QtPreviewHost::Register() { RegisterPreviewHost(this); }

bool QtPreviewHost::OpenPreview(const void* owner, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  ClosePreview(owner);
  auto* window = new PreviewWidget(width, height);
  windows_[owner] = window;
  window->show();
  return true;
}

bool QtPreviewHost::ShowPreviewFrame(const void* owner, const TPreviewFrame& frame) {
  PreviewWidget* window = Window(owner);
  if (!window || window->ClosedByUser()) return false;
  window->SetFrame(frame);
  if (!window->isVisible()) window->show();
  return true;
}

void QtPreviewHost::ClosePreview(const void* owner) {
  auto found = windows_.find(owner);
  if (found == windows_.end()) return;
  delete found->second.data();
  windows_.erase(found);
}

PreviewWidget* QtPreviewHost::Window(const void* owner) const {
  auto found = windows_.find(owner);
  return found == windows_.end() ? nullptr : found->second.data();
}

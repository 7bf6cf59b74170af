// The image buttons under the preview: a picture for the resting button and
// a highlighted one while the pointer is over it, both drawn at run time.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace app {

// What a preview button shows.
enum class PreviewGlyph { Play, Pause, Stop, Sound, Muted, Snapshot, SnapshotSettings };

inline constexpr int kPreviewButtonWidth = 38;
inline constexpr int kPreviewButtonHeight = 28;

// The picture of a button: hot is the highlighted form shown under the pointer.
QPixmap PreviewButtonPicture(PreviewGlyph glyph, bool hot, qreal devicePixelRatio = 1.0);

class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  ImageButton(PreviewGlyph glyph, const QString& tip, QWidget* parent = nullptr);

  void SetGlyph(PreviewGlyph glyph);
  PreviewGlyph Glyph() const { return glyph_; }
  // Whether the highlighted picture is shown (the pointer is over the button).
  bool Hot() const { return hot_; }
  QSize sizeHint() const override { return {kPreviewButtonWidth, kPreviewButtonHeight}; }

 signals:
  // Any mouse button went down on the button, at a global position.
  void MouseDown(Qt::MouseButton button, const QPoint& globalPosition);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void SetHot(bool hot);
  PreviewGlyph glyph_;
  bool hot_ = false;
};

}  // namespace app

#include "app/preview_buttons.h"

#include <cmath>

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace app {
namespace {

struct Face {
  QColor top, bottom, rim, glyph;
};

// Resting: a dark slate pill with a pale glyph; highlighted: a lit blue pill
// with a white glyph.
Face FaceOf(bool hot) {
  if (hot) return {QColor(96, 170, 240), QColor(28, 98, 184), QColor(18, 66, 130), Qt::white};
  return {QColor(92, 100, 114), QColor(48, 54, 66), QColor(30, 34, 42), QColor(222, 228, 236)};
}

void DrawSpeaker(QPainter& p, const QColor& colour) {
  QPolygonF speaker;
  speaker << QPointF(11, 11.5) << QPointF(15, 11.5) << QPointF(20, 7) << QPointF(20, 21) << QPointF(15, 16.5)
          << QPointF(11, 16.5);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(speaker);
}

void DrawGlyph(QPainter& p, PreviewGlyph glyph, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  switch (glyph) {
    case PreviewGlyph::Play: {
      QPolygonF triangle;
      triangle << QPointF(15, 7) << QPointF(15, 21) << QPointF(26, 14);
      p.drawPolygon(triangle);
      break;
    }
    case PreviewGlyph::Pause:
      p.drawRoundedRect(QRectF(13, 7.5, 4.5, 13), 1, 1);
      p.drawRoundedRect(QRectF(20.5, 7.5, 4.5, 13), 1, 1);
      break;
    case PreviewGlyph::Stop:
      p.drawRoundedRect(QRectF(13.5, 8.5, 11, 11), 1.5, 1.5);
      break;
    case PreviewGlyph::Sound:
      DrawSpeaker(p, colour);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawArc(QRectF(17, 10, 6, 8), -55 * 16, 110 * 16);
      p.drawArc(QRectF(17, 7, 10, 14), -55 * 16, 110 * 16);
      break;
    case PreviewGlyph::Muted:
      DrawSpeaker(p, colour);
      p.setPen(QPen(QColor(238, 84, 72), 2.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(23, 10.5), QPointF(28, 17.5));
      p.drawLine(QPointF(28, 10.5), QPointF(23, 17.5));
      break;
    case PreviewGlyph::Snapshot: {
      QPainterPath body;
      body.addRoundedRect(QRectF(10, 9.5, 18, 12), 2, 2);
      body.addRect(QRectF(15, 7, 6, 3));
      QPainterPath lens;
      lens.addEllipse(QPointF(19, 15.5), 3.6, 3.6);
      p.drawPath(body.subtracted(lens));
      p.drawEllipse(QPointF(19, 15.5), 1.6, 1.6);
      break;
    }
    case PreviewGlyph::SnapshotSettings: {
      // A small gear with the arrow of a drop-down menu.
      const QPointF centre(16, 14);
      p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
      for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(centre + QPointF(4.2 * std::cos(a), 4.2 * std::sin(a)),
                   centre + QPointF(6.6 * std::cos(a), 6.6 * std::sin(a)));
      }
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(colour, 2.0));
      p.drawEllipse(centre, 3.6, 3.6);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      QPolygonF arrow;
      arrow << QPointF(24.5, 12.5) << QPointF(30, 12.5) << QPointF(27.25, 16);
      p.drawPolygon(arrow);
      break;
    }
  }
}

}  // namespace

QPixmap PreviewButtonPicture(PreviewGlyph glyph, bool hot, qreal devicePixelRatio) {
  QPixmap pixmap(QSize(kPreviewButtonWidth, kPreviewButtonHeight) * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const Face face = FaceOf(hot);
  const QRectF pill(1.5, 1.5, kPreviewButtonWidth - 3, kPreviewButtonHeight - 3);
  if (hot) {
    // A soft glow around the lit button.
    p.setPen(QPen(QColor(120, 190, 255, 110), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(pill.adjusted(-0.5, -0.5, 0.5, 0.5), 8, 8);
  }
  QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
  fill.setColorAt(0, face.top);
  fill.setColorAt(1, face.bottom);
  p.setPen(QPen(face.rim, 1));
  p.setBrush(fill);
  p.drawRoundedRect(pill, 7, 7);
  // A sheen over the upper half.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, hot ? 60 : 34));
  p.drawRoundedRect(QRectF(pill.left() + 2, pill.top() + 1.5, pill.width() - 4, pill.height() / 2 - 1), 5, 5);
  DrawGlyph(p, glyph, face.glyph);
  return pixmap;
}

ImageButton::ImageButton(PreviewGlyph glyph, const QString& tip, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph) {
  setToolTip(tip);
  setAccessibleName(tip);
  setFixedSize(kPreviewButtonWidth, kPreviewButtonHeight);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void ImageButton::SetGlyph(PreviewGlyph glyph) {
  glyph_ = glyph;
  update();
}

void ImageButton::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  update();
}

void ImageButton::enterEvent(QEnterEvent* event) {
  SetHot(true);
  QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
  SetHot(false);
  QAbstractButton::leaveEvent(event);
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->button(), event->globalPosition().toPoint());
  QAbstractButton::mousePressEvent(event);
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPixmap picture = PreviewButtonPicture(glyph_, hot_, devicePixelRatioF());
  // Pressed: the picture sinks by one pixel.
  p.drawPixmap(isDown() ? QPoint(0, 1) : QPoint(0, 0), picture);
}

}  // namespace app

#include "app/type_icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace app {
namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

QColor FamilyColour(OutputFamily family) {
  switch (family) {
    case OutputFamily::Video: return QColor(0x2d, 0x6c, 0xc0);
    case OutputFamily::Hd: return QColor(0x1f, 0x3a, 0x70);
    case OutputFamily::Device: return QColor(0x2e, 0x9a, 0x5a);
    case OutputFamily::Disc: return QColor(0x7a, 0x4c, 0xb0);
    case OutputFamily::Web: return QColor(0xc8, 0x46, 0x3a);
    case OutputFamily::Audio: return QColor(0xe0, 0x8a, 0x1e);
  }
  return Qt::gray;
}

void DrawFilm(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 230));
  p.drawRoundedRect(r, 2, 2);
  p.setBrush(QColor(40, 40, 40));
  const qreal hole = r.height() / 7;
  for (int i = 0; i < 4; ++i) {
    const qreal x = r.left() + 3 + i * (r.width() - 6) / 4;
    p.drawRect(QRectF(x, r.top() + 1.5, hole, hole));
    p.drawRect(QRectF(x, r.bottom() - 1.5 - hole, hole, hole));
  }
  p.setBrush(QColor(90, 160, 230));
  p.drawRect(r.adjusted(3, hole + 3, -3, -hole - 3));
}

void DrawDisc(QPainter& p, const QPointF& c, qreal radius) {
  QRadialGradient shine(c, radius);
  shine.setColorAt(0, QColor(250, 250, 250));
  shine.setColorAt(0.6, QColor(200, 210, 235));
  shine.setColorAt(1, QColor(235, 200, 240));
  p.setPen(QPen(QColor(80, 80, 80), 1));
  p.setBrush(shine);
  p.drawEllipse(c, radius, radius);
  p.setBrush(QColor(90, 60, 130));
  p.drawEllipse(c, radius / 4, radius / 4);
}

void DrawPhone(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(30, 30, 30), 1.5));
  p.setBrush(QColor(245, 245, 245));
  p.drawRoundedRect(r, 4, 4);
  p.setBrush(QColor(60, 170, 110));
  p.setPen(Qt::NoPen);
  p.drawRect(r.adjusted(2.5, 4, -2.5, -6));
  p.setBrush(QColor(30, 30, 30));
  p.drawEllipse(QPointF(r.center().x(), r.bottom() - 3), 1.5, 1.5);
}

void DrawNote(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  const qreal headR = r.width() / 5;
  const QPointF head1(r.left() + headR, r.bottom() - headR);
  const QPointF head2(r.right() - headR, r.bottom() - headR - 4);
  p.drawEllipse(head1, headR, headR * 0.8);
  p.drawEllipse(head2, headR, headR * 0.8);
  p.drawRect(QRectF(head1.x() + headR - 2.5, r.top() + 4, 2.5, head1.y() - r.top() - 4));
  p.drawRect(QRectF(head2.x() + headR - 2.5, r.top(), 2.5, head2.y() - r.top()));
  QPainterPath beam;
  beam.moveTo(head1.x() + headR - 2.5, r.top() + 4);
  beam.lineTo(head2.x() + headR, r.top());
  beam.lineTo(head2.x() + headR, r.top() + 5);
  beam.lineTo(head1.x() + headR - 2.5, r.top() + 9);
  beam.closeSubpath();
  p.drawPath(beam);
}

void DrawPlayBadge(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(r);
  p.setBrush(QColor(200, 70, 58));
  QPolygonF triangle;
  triangle << QPointF(r.left() + r.width() * 0.38, r.top() + r.height() * 0.27)
           << QPointF(r.left() + r.width() * 0.38, r.bottom() - r.height() * 0.27)
           << QPointF(r.right() - r.width() * 0.24, r.center().y());
  p.drawPolygon(triangle);
}

}  // namespace

OutputFamily FamilyOf(const profiles::TOutputType& type) {
  if (type.AudioOnly) return OutputFamily::Audio;
  if (!type.DiscType.empty() || type.FileExtension == ".vob") return OutputFamily::Disc;
  if (type.FileExtension == ".flv" || type.FileExtension == ".swf") return OutputFamily::Web;
  const std::string_view caption = type.Caption;
  if (type.Page == 1 || Contains(caption, "手机") || Contains(caption, "iP") || Contains(caption, "PSP") ||
      Contains(caption, "ipod") || Contains(caption, "PS3") || Contains(caption, "移动设备"))
    return OutputFamily::Device;
  if (Contains(caption, "高清") || Contains(caption, "HD")) return OutputFamily::Hd;
  return OutputFamily::Video;
}

QPixmap TypeIcon(const profiles::TOutputType& type) {
  const OutputFamily family = FamilyOf(type);
  QPixmap pixmap(kTypeIconSize, kTypeIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor colour = FamilyColour(family);
  QLinearGradient fill(0, 0, 0, kTypeIconSize);
  fill.setColorAt(0, colour.lighter(135));
  fill.setColorAt(1, colour);
  p.setPen(QPen(colour.darker(130), 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(2.5, 2.5, 55, 55), 9, 9);

  const QRectF glyph(12, 7, 36, 28);
  switch (family) {
    case OutputFamily::Video: DrawFilm(p, glyph); break;
    case OutputFamily::Hd:
      DrawFilm(p, glyph);
      p.setPen(QColor(255, 215, 0));
      p.setFont(QFont(p.font().family(), 9, QFont::Black));
      p.drawText(glyph, Qt::AlignCenter, QStringLiteral("HD"));
      break;
    case OutputFamily::Device: DrawPhone(p, QRectF(21, 6, 18, 30)); break;
    case OutputFamily::Disc: DrawDisc(p, QPointF(30, 21), 14); break;
    case OutputFamily::Web: DrawPlayBadge(p, QRectF(16, 6, 28, 28)); break;
    case OutputFamily::Audio: DrawNote(p, QRectF(17, 7, 26, 27)); break;
  }
  QString label = QString::fromUtf8(type.FileExtension.data(), int(type.FileExtension.size())).mid(1).toUpper();
  QFont font = p.font();
  font.setPixelSize(label.size() > 3 ? 11 : 13);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(3, 38, 54, 18), Qt::AlignCenter, label);
  return pixmap;
}

QIcon ToolIcon(ToolPicture picture, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  auto circle = [&p](const QColor& colour) {
    QRadialGradient g(QPointF(12, 10), 20);
    g.setColorAt(0, colour.lighter(150));
    g.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 28, 28));
  };
  p.setPen(Qt::NoPen);
  switch (picture) {
    case ToolPicture::Add:
      circle(QColor(46, 154, 90));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(14, 8, 4, 16));
      p.drawRect(QRectF(8, 14, 16, 4));
      break;
    case ToolPicture::Remove:
      circle(QColor(214, 120, 30));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(8, 14, 16, 4));
      break;
    case ToolPicture::Clear:
      circle(QColor(190, 60, 50));
      p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(11, 11), QPointF(21, 21));
      p.drawLine(QPointF(21, 11), QPointF(11, 21));
      break;
    case ToolPicture::Start:
    case ToolPicture::Play: {
      circle(QColor(40, 120, 200));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      QPolygonF triangle;
      triangle << QPointF(13, 9) << QPointF(13, 23) << QPointF(24, 16);
      p.drawPolygon(triangle);
      break;
    }
    case ToolPicture::Pause:
      circle(QColor(60, 140, 200));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(11, 10, 4, 12));
      p.drawRect(QRectF(17, 10, 4, 12));
      break;
    case ToolPicture::Stop:
      circle(QColor(180, 50, 50));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(11, 11, 10, 10));
      break;
    case ToolPicture::Skin:
      circle(QColor(150, 90, 190));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 220, 80));
      p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
      p.setBrush(QColor(120, 220, 140));
      p.drawEllipse(QPointF(20, 12), 3.5, 3.5);
      p.setBrush(QColor(120, 190, 255));
      p.drawEllipse(QPointF(16, 20), 3.5, 3.5);
      break;
    case ToolPicture::Help: {
      circle(QColor(40, 110, 180));
      QFont font;
      font.setPixelSize(20);
      font.setBold(true);
      p.setFont(font);
      p.setPen(Qt::white);
      p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case ToolPicture::Mute: {
      circle(QColor(80, 110, 140));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      QPolygonF speaker;
      speaker << QPointF(8, 13) << QPointF(12, 13) << QPointF(17, 8) << QPointF(17, 24) << QPointF(12, 19)
              << QPointF(8, 19);
      p.drawPolygon(speaker);
      p.setPen(QPen(Qt::white, 1.6));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(15, 11, 8, 10), -60 * 16, 120 * 16);
      break;
    }
    case ToolPicture::Snapshot:
      circle(QColor(70, 80, 100));
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(QRectF(8, 12, 16, 11), 2, 2);
      p.drawRect(QRectF(13, 10, 6, 3));
      p.setBrush(QColor(70, 80, 100));
      p.drawEllipse(QPointF(16, 17.5), 3.2, 3.2);
      break;
    case ToolPicture::Settings: {
      circle(QColor(100, 100, 110));
      p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
      for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(QPointF(16 + 5 * std::cos(a), 16 + 5 * std::sin(a)),
                   QPointF(16 + 9 * std::cos(a), 16 + 9 * std::sin(a)));
      }
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(16, 16), 4.5, 4.5);
      break;
    }
  }
  return QIcon(pixmap);
}

}  // namespace app

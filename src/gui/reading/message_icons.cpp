#include "gui/reading/message_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <array>
#include <cmath>

namespace tobrisk::gui {
namespace {

void DrawSheet(QPainter& p, const QColor& paper, const QColor& lines) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(paper);
  p.drawPolygon(QPolygonF({{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 14.5}, {3.5, 14.5}}));
  p.setPen(lines);
  for (int y = 6; y <= 12; y += 2) p.drawLine(5, y, 11, y);
}

void DrawStar(QPainter& p, QPointF centre, double outer, const QColor& fill) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 == 0 ? outer : outer * 0.45;
    const double a = -M_PI / 2 + i * M_PI / 5;
    star << QPointF(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
  }
  p.setPen(QColor(120, 80, 0));
  p.setBrush(fill);
  p.drawPolygon(star);
}

void DrawEnvelope(QPainter& p, QRectF r, const QColor& paper) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(paper);
  p.drawRect(r);
  p.drawPolyline(QPolygonF({r.topLeft(), QPointF(r.center().x(), r.center().y() + 1), r.topRight()}));
}

void DrawFolder(QPainter& p, const QColor& fill) {
  p.setPen(QColor(120, 90, 20));
  p.setBrush(fill.darker(115));
  p.drawRect(QRectF(1.5, 3.5, 6, 3));
  p.setBrush(fill);
  p.drawRect(QRectF(1.5, 5.5, 13, 9));
}

QPixmap Draw(int icon) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (icon) {
    case kIconUnread: DrawSheet(p, Qt::white, QColor(70, 110, 200)); break;
    case kIconReplied:
      DrawSheet(p, QColor(255, 236, 236), QColor(200, 150, 150));
      p.setPen(QColor(150, 0, 0));
      p.setBrush(QColor(220, 30, 30));
      p.drawEllipse(QPointF(10.5, 11), 4, 4);
      break;
    case kIconBoard: DrawFolder(p, QColor(250, 210, 90)); break;
    case kIconRead:
      DrawSheet(p, QColor(225, 225, 225), QColor(160, 160, 160));
      p.setPen(QPen(QColor(20, 130, 40), 2));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(10.5, 11), 3.5, 3.5);
      break;
    case kIconMessageRoot:
      DrawFolder(p, QColor(120, 170, 240));
      p.setPen(Qt::white);
      p.drawLine(4, 9, 12, 9);
      p.drawLine(4, 11, 12, 11);
      break;
    case kIconMail: DrawEnvelope(p, QRectF(1.5, 3.5, 13, 9), Qt::white); break;
    case kIconMailRoot:
      DrawEnvelope(p, QRectF(2.5, 1.5, 12, 8), QColor(235, 235, 200));
      DrawEnvelope(p, QRectF(0.5, 5.5, 12, 8), QColor(255, 250, 220));
      break;
    case kIconChecked:
      DrawSheet(p, Qt::white, QColor(70, 110, 200));
      DrawStar(p, QPointF(10, 10), 5.5, QColor(255, 200, 0));
      break;
    default: break;
  }
  return pixmap;
}

}  // namespace

const QIcon& MessageImage(int icon) {
  static const std::array<QIcon, kTreeIconCount> kImages = [] {
    std::array<QIcon, kTreeIconCount> images;
    for (int i = 0; i < kTreeIconCount; ++i) images[static_cast<size_t>(i)] = QIcon(Draw(i));
    return images;
  }();
  static const QIcon kNone;
  return icon >= 0 && icon < kTreeIconCount ? kImages[static_cast<size_t>(icon)] : kNone;
}

}  // namespace tobrisk::gui

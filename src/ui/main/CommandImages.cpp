#include "ui/main/CommandImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>

#include "ui/main/MainTexts.h"
#include "ui/main/Painting.h"

namespace pgl {

namespace {

using Draw = void (*)(QPainter&);

const QColor kOutline("#34495e");

// A sheet of paper with a folded corner and a few lines of text.
void Page(QPainter& p, QRectF r, int lines) {
  QPainterPath sheet;
  sheet.moveTo(r.left(), r.top());
  sheet.lineTo(r.right() - 6, r.top());
  sheet.lineTo(r.right(), r.top() + 6);
  sheet.lineTo(r.right(), r.bottom());
  sheet.lineTo(r.left(), r.bottom());
  sheet.closeSubpath();
  p.setPen(QPen(kOutline, 1.2));
  p.setBrush(QColor("#fdfdfb"));
  p.drawPath(sheet);
  p.setBrush(QColor("#d5dbe1"));
  QPolygonF fold;
  fold << QPointF(r.right() - 6, r.top()) << QPointF(r.right() - 6, r.top() + 6)
       << QPointF(r.right(), r.top() + 6);
  p.drawPolygon(fold);
  p.setPen(QPen(QColor("#8a99a8"), 1.4));
  for (int i = 0; i < lines; ++i) {
    const double y = r.top() + 9 + i * 4;
    if (y > r.bottom() - 3) break;
    p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3 - (i % 2) * 4, y));
  }
}

// A floppy disk in the lower right corner: saving.
void Disk(QPainter& p, QRectF r) {
  p.setPen(QPen(QColor("#1c3d6e"), 1.1));
  p.setBrush(QColor("#2f6fc0"));
  p.drawRoundedRect(r, 1.5, 1.5);
  p.setBrush(QColor("#e8eef6"));
  p.drawRect(QRectF(r.left() + r.width() * 0.22, r.top() + 1, r.width() * 0.56, r.height() * 0.38));
  p.setBrush(QColor("#12294a"));
  p.drawRect(QRectF(r.left() + r.width() * 0.25, r.bottom() - r.height() * 0.38, r.width() * 0.5,
                    r.height() * 0.38 - 1));
}

void Box(QPainter& p, QRectF r) {
  p.setPen(QPen(QColor("#6b4a12"), 1.2));
  p.setBrush(QColor("#f0b84a"));
  p.drawRect(r);
  p.setBrush(QColor("#f7d68e"));
  QPolygonF lid;
  lid << r.topLeft() << QPointF(r.left() + 5, r.top() - 5) << QPointF(r.right() + 5, r.top() - 5)
      << r.topRight();
  p.drawPolygon(lid);
  QPolygonF side;
  side << r.topRight() << QPointF(r.right() + 5, r.top() - 5)
       << QPointF(r.right() + 5, r.bottom() - 5) << r.bottomRight();
  p.setBrush(QColor("#d99a2b"));
  p.drawPolygon(side);
}

void Badge(QPainter& p, QPointF centre, double radius, const QColor& fill) {
  p.setPen(QPen(fill.darker(140), 1.1));
  p.setBrush(fill);
  p.drawEllipse(centre, radius, radius);
}

void DrawSaveReport(QPainter& p) {
  Page(p, QRectF(4, 2, 19, 25), 5);
  Disk(p, QRectF(17, 17, 13, 13));
}

void DrawUninstall(QPainter& p) {
  Box(p, QRectF(3, 10, 17, 17));
  Badge(p, QPointF(23, 23), 7.5, QColor("#d9342b"));
  p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 23), QPointF(27, 23));
}

void DrawRemove(QPainter& p) {
  Page(p, QRectF(3, 2, 20, 26), 5);
  p.setPen(QPen(QColor("#c0392b"), 3.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(17, 17), QPointF(28, 28));
  p.drawLine(QPointF(28, 17), QPointF(17, 28));
}

void DrawSearch(QPainter& p) {
  p.setPen(QPen(QColor("#5b4a36"), 4.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 19), QPointF(28.5, 28.5));
  p.setPen(QPen(kOutline, 2.2));
  QRadialGradient glass(QPointF(10, 10), 11);
  glass.setColorAt(0, QColor("#ffffff"));
  glass.setColorAt(1, QColor("#a9d3f5"));
  p.setBrush(glass);
  p.drawEllipse(QPointF(12.5, 12.5), 9, 9);
}

void Arc(QPainter& p, double start, const QColor& colour) {
  QPainterPath arc;
  const QRectF circle(5, 5, 22, 22);
  arc.arcMoveTo(circle, start);
  arc.arcTo(circle, start, 150);
  p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  // The arrow head at the arc's end.
  QPainterPath head;
  const QPointF tip = arc.currentPosition();
  QTransform turn;
  turn.translate(tip.x(), tip.y());
  turn.rotate(-(start + 150));
  QPolygonF triangle;
  triangle << QPointF(-5, 0) << QPointF(5, 0) << QPointF(0, 6);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(turn.map(triangle));
}

void DrawRefresh(QPainter& p) {
  Arc(p, 20, QColor("#2e9d4a"));
  Arc(p, 200, QColor("#2e9d4a"));
}

void DrawViewStyle(QPainter& p) {
  p.setPen(QPen(QColor("#1f4f8f"), 1.1));
  const QColor fills[] = {QColor("#4f8fe0"), QColor("#7fb2f0"), QColor("#7fb2f0"),
                          QColor("#4f8fe0")};
  int i = 0;
  for (const double y : {4.0, 17.0})
    for (const double x : {4.0, 17.0}) {
      p.setBrush(fills[i++]);
      p.drawRoundedRect(QRectF(x, y, 11, 11), 1.5, 1.5);
    }
}

void DrawConfigure(QPainter& p) {
  QPainterPath gear;
  const QPointF c(16, 16);
  for (int tooth = 0; tooth < 8; ++tooth) {
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotate(tooth * 45);
    gear.addPolygon(t.map(QPolygonF(QRectF(-3, -14, 6, 6))));
  }
  gear.addEllipse(c, 10, 10);
  gear.setFillRule(Qt::WindingFill);
  QPainterPath hole;
  hole.addEllipse(c, 4, 4);
  p.setPen(QPen(QColor("#4a5560"), 1.1));
  p.setBrush(QColor("#a3adb8"));
  p.drawPath(gear.simplified().subtracted(hole));
}

void DrawDetails(QPainter& p) {
  // A window with a title bar and rows of label and value.
  p.setPen(QPen(kOutline, 1.2));
  p.setBrush(QColor("#fdfdfb"));
  p.drawRect(QRectF(2.5, 4.5, 27, 23));
  p.setBrush(QColor("#3a7bd5"));
  p.drawRect(QRectF(2.5, 4.5, 27, 5));
  for (int i = 0; i < 4; ++i) {
    const double y = 13.5 + i * 3.7;
    p.setPen(QPen(QColor("#2e9d4a"), 1.6));
    p.drawLine(QPointF(5, y), QPointF(11, y));
    p.setPen(QPen(QColor("#8a99a8"), 1.6));
    p.drawLine(QPointF(13, y), QPointF(26 - (i % 2) * 5, y));
  }
}

void Letter(QPainter& p, const QString& letter, double size) {
  QFont font("DejaVu Sans");
  font.setBold(true);
  font.setPixelSize(static_cast<int>(size));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, letter);
}

void DrawAbout(QPainter& p) {
  Badge(p, QPointF(16, 16), 13.5, QColor("#2f6fc0"));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16, 9.5), 2.3, 2.3);
  p.drawRoundedRect(QRectF(13.8, 13.5, 4.4, 11.5), 1.2, 1.2);
}

void DrawHelp(QPainter& p) {
  Badge(p, QPointF(16, 16), 13.5, QColor("#2e9d4a"));
  Letter(p, "?", 20);
}

void DrawRegBackup(QPainter& p) {
  // Registry blocks stacked, with a disk: the keys kept safe.
  const QColor blues[] = {QColor("#4f8fe0"), QColor("#7fb2f0"), QColor("#3a6fb5")};
  const QPointF at[] = {{3, 13}, {12, 13}, {7.5, 4}};
  p.setPen(QPen(QColor("#1f4f8f"), 1.1));
  for (int i = 0; i < 3; ++i) {
    p.setBrush(blues[i]);
    p.drawRect(QRectF(at[i], QSizeF(8.5, 8.5)));
  }
  Disk(p, QRectF(16, 16, 14, 14));
}

const std::array<Draw, kCommandImageCount> kDraw = {
    DrawSaveReport, DrawUninstall, DrawRemove, DrawSearch, DrawRefresh,  DrawViewStyle,
    DrawConfigure,  DrawDetails,   DrawAbout,  DrawHelp,   DrawRegBackup};

void DrawSortUp(QPainter& p) {
  p.setPen(QPen(QColor("#6e737a"), 1));
  p.setBrush(QColor("#9ea3aa"));
  QPolygonF t;
  t << QPointF(16, 9) << QPointF(25, 23) << QPointF(7, 23);
  p.drawPolygon(t);
}

void DrawSortDown(QPainter& p) {
  p.setPen(QPen(QColor("#6e737a"), 1));
  p.setBrush(QColor("#9ea3aa"));
  QPolygonF t;
  t << QPointF(7, 9) << QPointF(25, 9) << QPointF(16, 23);
  p.drawPolygon(t);
}

}  // namespace

QIcon CommandIcon(int image) {
  if (image < 0 || image >= kCommandImageCount) return {};
  QIcon icon;
  for (const int size : {16, 24, 32}) icon.addPixmap(PaintOn32Grid(size, kDraw[image]));
  return icon;
}

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64}) icon.addPixmap(PaintOn32Grid(size, DrawUninstall));
  return icon;
}

const QIcon& SortArrow(bool up) {
  static const QIcon upIcon(PaintOn32Grid(16, DrawSortUp));
  static const QIcon downIcon(PaintOn32Grid(16, DrawSortDown));
  return up ? upIcon : downIcon;
}

}  // namespace pgl

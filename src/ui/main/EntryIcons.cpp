#include "ui/main/EntryIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "inventory/CommandAnalysis.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/Painting.h"

namespace pgl {

namespace {

QPixmap DrawDefault(int size) {
  return PaintOn32Grid(size, [](QPainter& p) {
    // The screen.
    p.setPen(QPen(QColor("#2d3a4a"), 1.2));
    p.setBrush(QColor("#dfe6ee"));
    p.drawRoundedRect(QRectF(2, 4, 20, 15), 2, 2);
    p.setBrush(QColor("#3a7bd5"));
    p.drawRect(QRectF(4, 6, 16, 11));
    p.setBrush(QColor("#9aa7b5"));
    p.drawRect(QRectF(9, 19, 6, 3));
    p.drawRoundedRect(QRectF(5, 22, 14, 3), 1, 1);
    // The software box.
    p.setPen(QPen(QColor("#6b4a12"), 1.2));
    p.setBrush(QColor("#f0b84a"));
    p.drawRect(QRectF(17, 14, 12, 14));
    p.setBrush(QColor("#f7d68e"));
    QPolygonF lid;
    lid << QPointF(17, 14) << QPointF(21, 10) << QPointF(33, 10) << QPointF(29, 14);
    p.drawPolygon(lid);
    p.setPen(QPen(QColor("#c0392b"), 2));
    p.drawLine(QPointF(23, 14), QPointF(23, 28));
  });
}

QPixmap DrawInvalid(int size) {
  return PaintOn32Grid(size, [](QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(16, 2.5);
    triangle.lineTo(30.5, 28.5);
    triangle.lineTo(1.5, 28.5);
    triangle.closeSubpath();
    p.setPen(QPen(QColor("#7a5a00"), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor("#ffd21f"));
    p.drawPath(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#d4120f"));
    p.drawRoundedRect(QRectF(14.2, 10, 3.6, 11), 1.5, 1.5);
    p.drawEllipse(QRectF(14, 22.5, 4, 4));
  });
}

QIcon TwoSizes(QPixmap (*draw)(int)) {
  QIcon icon;
  icon.addPixmap(draw(16));
  icon.addPixmap(draw(32));
  return icon;
}

std::optional<QPixmap> ReadIcon(const Platform& platform, const TUninstallInfo& info, bool small) {
  const auto image = ExtractIconHandle(platform, info.IconFile, info.IconIndex, small);
  if (!image) return std::nullopt;
  QPixmap pixmap;
  if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(image->ico.data()),
                           static_cast<uint>(image->ico.size()), "ICO"))
    return std::nullopt;
  const int size = small ? 16 : 32;
  if (pixmap.width() != size || pixmap.height() != size)
    pixmap = pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return pixmap;
}

}  // namespace

const QIcon& EntryIcons::DefaultIcon() {
  static const QIcon icon = TwoSizes(DrawDefault);
  return icon;
}

const QIcon& EntryIcons::InvalidIcon() {
  static const QIcon icon = TwoSizes(DrawInvalid);
  return icon;
}

QIcon EntryIcons::ForEntry(const Platform& platform, const TUninstallInfo& info) {
  switch (IconSourceOf(info)) {
    case IconSource::Invalid:
      return InvalidIcon();
    case IconSource::Default:
      return DefaultIcon();
    case IconSource::Own:
      break;
  }
  // Each size falls back to the default icon on its own, as the image lists do.
  QIcon icon;
  for (bool small : {true, false}) {
    const auto pixmap = ReadIcon(platform, info, small);
    icon.addPixmap(pixmap ? *pixmap : DefaultIcon().pixmap(small ? 16 : 32));
  }
  return icon;
}

}  // namespace pgl

// How our artwork is drawn: on a transparent square of any size, in the units of a 32-pixel grid.
#pragma once

#include <QPainter>
#include <QPixmap>

namespace pgl {

template <typename Draw>
QPixmap PaintOn32Grid(int size, Draw draw) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  draw(p);
  return pixmap;
}

}  // namespace pgl

#include "ui/main/ThemeColors.h"

#include <algorithm>

namespace pgl {

namespace {

QColor WithLightness(const QColor& color, int lightness) {
  const QColor hsl = color.toHsl();
  return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, color.alpha())
      .convertTo(QColor::Rgb);
}

}  // namespace

bool IsDarkTheme(const QPalette& palette) {
  return palette.color(QPalette::Base).lightness() < palette.color(QPalette::Text).lightness();
}

QColor ThemeTextColor(const QColor& light, const QPalette& palette) {
  if (!IsDarkTheme(palette)) return light;
  return WithLightness(light, std::max(255 - light.toHsl().lightness(), 170));
}

QColor ThemeBackgroundColor(const QColor& light, const QPalette& palette) {
  if (!IsDarkTheme(palette)) return light;
  return WithLightness(light, std::min(255 - light.toHsl().lightness(), 70));
}

}  // namespace pgl

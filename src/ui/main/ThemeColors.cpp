#include "ui/main/ThemeColors.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace pgl {

namespace {

QColor WithLightness(const QColor& color, int lightness) {
  const QColor hsl = color.toHsl();
  return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, color.alpha())
      .convertTo(QColor::Rgb);
}

// WCAG 2 relative luminance and contrast ratio.
double Luminance(const QColor& color) {
  const auto channel = [](double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
         0.0722 * channel(color.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkTheme(const QPalette& palette) {
  return palette.color(QPalette::Base).lightness() < palette.color(QPalette::Text).lightness();
}

QColor ThemeTextColor(const QColor& light, const QPalette& palette) {
  if (!IsDarkTheme(palette)) return light;
  // Turned over, then made lighter until it reads on every background it is drawn on (the
  // theme's and the program's column shades) with a contrast of at least 4.5:1.
  const QColor backgrounds[] = {palette.color(QPalette::Base), palette.color(QPalette::Window),
                                ThemeBackgroundColor(QColor(0xD6, 0xD8, 0xD1), palette),
                                ThemeBackgroundColor(QColor(0xDE, 0xE0, 0xD8), palette)};
  const auto readable = [&backgrounds](const QColor& text) {
    return std::all_of(std::begin(backgrounds), std::end(backgrounds),
                       [&text](const QColor& back) { return ContrastRatio(text, back) >= 4.5; });
  };
  int lightness = std::max(255 - light.toHsl().lightness(), 170);
  QColor shown = WithLightness(light, lightness);
  while (!readable(shown) && lightness < 255) {
    lightness = std::min(lightness + 5, 255);
    shown = WithLightness(light, lightness);
  }
  return shown;
}

QColor ThemeBackgroundColor(const QColor& light, const QPalette& palette) {
  if (!IsDarkTheme(palette)) return light;
  return WithLightness(light, std::min(255 - light.toHsl().lightness(), 70));
}

}  // namespace pgl

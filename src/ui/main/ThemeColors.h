// The program's own colours (row shades, invalid and system entries, links) fitted to the
// theme: as they are in a light theme; in a dark one (its base darker than its text) with
// their lightness turned over and kept apart from the base, their hue kept, so that a light
// shade behind theme text becomes a dark one and dark text on a dark base a light one, at
// least 4.5 times as bright as the darkest background it is drawn on.
#pragma once

#include <QColor>
#include <QPalette>

namespace pgl {

bool IsDarkTheme(const QPalette& palette);
// The contrast ratio of two colours as WCAG 2 counts it: 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
QColor ThemeTextColor(const QColor& light, const QPalette& palette);
QColor ThemeBackgroundColor(const QColor& light, const QPalette& palette);

}  // namespace pgl

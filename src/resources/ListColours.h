#pragma once

#include <QColor>
#include <QPalette>

// Colours of the resource list that must suit both light and dark desktop
// themes.

// The contrast ratio of two colours as readability guidelines measure it
// (WCAG 2): from 1 (same luminance) to 21 (black on white). Alpha is ignored.
double contrastRatio(const QColor &a, const QColor &b);

// The background of the sorted column. The tooltip background where text in
// the palette's Text colour stays readable on it and it stands apart from
// Base, as on the usual light themes; otherwise (dark themes with a light
// tooltip) Base blended a little toward Highlight, as far as Text stays
// readable on it.
QColor readableSortTint(const QPalette &palette);

#include "resources/ListColours.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Contrast the guidelines ask for ordinary text.
constexpr double kReadable = 4.5;
// How far a tint must be from Base, in steps of 255 on some channel, to be
// seen as a tint at all.
constexpr int kApart = 16;

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

bool standsApart(const QColor &a, const QColor &b)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    return std::max({std::abs(x.red() - y.red()), std::abs(x.green() - y.green()), std::abs(x.blue() - y.blue())})
           >= kApart;
}

QColor blend(const QColor &from, const QColor &to, double amount)
{
    const QColor f = from.toRgb(), t = to.toRgb();
    auto mix = [amount](int a, int b) { return int(std::lround(a + (b - a) * amount)); };
    return QColor(mix(f.red(), t.red()), mix(f.green(), t.green()), mix(f.blue(), t.blue()));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableSortTint(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    const QColor tooltip = palette.color(QPalette::ToolTipBase);
    if (contrastRatio(tooltip, text) >= kReadable && standsApart(tooltip, base))
        return tooltip;

    // A quarter of the way to Highlight reads as a tint and not as the
    // selection; nearer Base where Text would not be readable on that.
    const QColor highlight = palette.color(QPalette::Highlight);
    QColor best = base;
    double bestContrast = 0;
    for (int percent = 25; percent >= 5; percent -= 5) {
        const QColor tint = blend(base, highlight, percent / 100.0);
        if (!standsApart(tint, base))
            break;
        const double contrast = contrastRatio(tint, text);
        if (contrast >= kReadable)
            return tint;
        if (contrast > bestContrast) {
            best = tint;
            bestContrast = contrast;
        }
    }
    // No readable tint: the palette's Text is hard to read on Base itself.
    // The most readable candidate that still marks the column.
    if (standsApart(tooltip, base) && contrastRatio(tooltip, text) > bestContrast)
        return tooltip;
    return best;
}

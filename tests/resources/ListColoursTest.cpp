#include "resources/ListColours.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

QPalette paletteOf(const char *base, const char *text, const char *tooltipBase, const char *highlight)
{
    QPalette p;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, QColor(QString::fromLatin1(base)));
        p.setColor(group, QPalette::Text, QColor(QString::fromLatin1(text)));
        p.setColor(group, QPalette::ToolTipBase, QColor(QString::fromLatin1(tooltipBase)));
        p.setColor(group, QPalette::Highlight, QColor(QString::fromLatin1(highlight)));
    }
    return p;
}

} // namespace

TEST(ListColours, ContrastRatioFollowsTheGuidelinesFormula)
{
    struct Case {
        const char *a;
        const char *b;
        double ratio;
    };
    // Reference values as published for these pairs.
    const Case cases[] = {
        {"#000000", "#ffffff", 21.0}, {"#ffffff", "#000000", 21.0}, {"#777777", "#777777", 1.0},
        {"#767676", "#ffffff", 4.54}, {"#777777", "#ffffff", 4.48}, {"#0000ff", "#ffffff", 8.59},
        {"#ff0000", "#000000", 5.25},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(contrastRatio(QColor(QString::fromLatin1(c.a)), QColor(QString::fromLatin1(c.b))), c.ratio, 0.01)
            << c.a << " on " << c.b;
}

TEST(ListColours, SortTintIsReadableAndMarksTheColumnOnLightAndDarkThemes)
{
    struct Case {
        const char *what;
        QPalette palette;
        bool tooltip; // the tooltip background is the tint
    };
    const Case cases[] = {
        // Qt's own light look (Fusion): the tint the list always had.
        {"Fusion light", paletteOf("#ffffff", "#000000", "#ffffdc", "#308cc6"), true},
        {"typical dark", paletteOf("#2b2b2b", "#e0e0e0", "#ffffdc", "#2a82da"), false},
        {"Fusion dark", paletteOf("#242424", "#f0f0f0", "#ffffdc", "#308cc6"), false},
        // A dark theme whose tooltips are dark too: they suit the list.
        {"dark with dark tooltips", paletteOf("#232629", "#fcfcfc", "#31363b", "#3daee9"), true},
        // Light themes whose tooltip is dark, or white like the list.
        {"light with dark tooltips", paletteOf("#ffffff", "#2e3436", "#000000", "#3584e4"), false},
        {"light with white tooltips", paletteOf("#ffffff", "#000000", "#ffffff", "#308cc6"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QColor tint = readableSortTint(c.palette);
        const QColor text = c.palette.color(QPalette::Text), base = c.palette.color(QPalette::Base);
        EXPECT_GE(contrastRatio(tint, text), 4.5) << tint.name().toStdString();
        EXPECT_NE(tint, base);
        if (c.tooltip) {
            EXPECT_EQ(tint, c.palette.color(QPalette::ToolTipBase)) << tint.name().toStdString();
        } else {
            EXPECT_NE(tint, c.palette.color(QPalette::ToolTipBase));
            // Toward Highlight: nearer to it than Base is.
            const QColor h = c.palette.color(QPalette::Highlight);
            auto distance = [&h](const QColor &x) {
                return std::abs(x.red() - h.red()) + std::abs(x.green() - h.green()) + std::abs(x.blue() - h.blue());
            };
            EXPECT_LT(distance(tint), distance(base)) << tint.name().toStdString();
        }
    }
}

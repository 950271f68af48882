// The latency chart painted into an image: where its line, dots and loss
// marks land for a known history, in a light and a dark palette, and what it
// says in place of a chart.
#include "gui/LatencyChart.h"
#include "application/ChartScale.h"

#include <QDateTime>
#include <QImage>
#include <QPalette>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

// 2025-03-01 10:00:00 UTC, the newest sample.
const qint64 kNewest = QDateTime(QDate(2025, 3, 1), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch();
constexpr qint64 kStep = 30 * 1000;
constexpr int kSamples = 41; // twenty minutes
constexpr int kLost = 20;
constexpr int kProbedUp = 30;

struct Colours {
    const char *name;
    QColor base, text, highlight, placeholder;
};
const Colours kLight{"light", Qt::white, Qt::black, QColor(0, 0, 255), QColor(128, 128, 128)};
const Colours kDark{"dark", QColor(30, 30, 30), QColor(230, 230, 230), QColor(80, 160, 255), QColor(140, 140, 140)};

QPalette paletteOf(const Colours &c)
{
    QPalette p;
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::Window, c.base);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::PlaceholderText, c.placeholder);
    return p;
}

qint64 timeOf(int i) { return kNewest - (kSamples - 1 - i) * kStep; }
qint32 roundTripOf(int i) { return 300 + 100 * (i % 5); } // 0.3 .. 0.7 ms: a top of 1 ms

std::shared_ptr<ResultHistory> knownHistory()
{
    auto history = std::make_shared<ResultHistory>();
    for (int i = 0; i < kSamples; ++i) {
        PingResult r;
        r.when = QDateTime::fromMSecsSinceEpoch(timeOf(i), Qt::UTC);
        if (i == kLost) {
            r.outcome = PingOutcome::TimedOut;
        } else if (i == kProbedUp) {
            r.outcome = PingOutcome::UpWithoutEcho;
        } else {
            r.outcome = PingOutcome::Reply;
            r.roundTripMicroseconds = roundTripOf(i);
        }
        history->add(r);
    }
    return history;
}

QImage rendered(LatencyChart &chart)
{
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    chart.render(&image);
    return image;
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= tolerance;
}

// The pixels of one colour (within TOLERANCE).
std::vector<QPoint> pixelsOf(const QImage &image, const QColor &colour, int tolerance = 0)
{
    std::vector<QPoint> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), colour, tolerance))
                found.emplace_back(x, y);
    return found;
}

TEST(LatencyChart, DrawsRepliesInThePlotAndLossesWhereTheirTimeMaps)
{
    for (const Colours &colours : {kLight, kDark}) {
        SCOPED_TRACE(colours.name);
        const auto history = knownHistory();
        LatencyChart chart;
        chart.setPalette(paletteOf(colours));
        chart.resize(chart.sizeHint());
        chart.setHistory("PC7", history);
        ASSERT_EQ(chart.placeholderText(), "");
        const QImage image = rendered(chart);
        const QRect plot = chart.plotRect();
        ASSERT_TRUE(QRect(QPoint(), chart.size()).contains(plot));
        ASSERT_GT(plot.width(), 200);
        const ChartScale scale = ChartScale::lastSpan(history->samples(), chart.spanMs(), 0);
        ASSERT_EQ(scale.sampleCount(), kSamples);
        ASSERT_DOUBLE_EQ(scale.topMs(), 1);

        EXPECT_EQ(image.pixelColor(0, 0), colours.base);
        EXPECT_EQ(image.pixelColor(chart.width() - 1, chart.height() - 1), colours.base);

        // Each reply's dot sits where its time and round trip map.
        for (int i = 0; i < kSamples; ++i) {
            if (i == kLost || i == kProbedUp)
                continue;
            const QPointF at = scale.map(timeOf(i), roundTripOf(i) / 1000.0, plot);
            EXPECT_TRUE(near(image.pixelColor(at.toPoint()), colours.highlight, 40)) << "sample " << i;
        }
        // The line stays in the plot (a dot may reach over its edge by its
        // radius) and leaves a gap where the answer was lost.
        const std::vector<QPoint> line = pixelsOf(image, colours.highlight, 60);
        EXPECT_GT(line.size(), 150u);
        const int lostX = qRound(scale.xOf(timeOf(kLost), plot));
        for (const QPoint &p : line) {
            EXPECT_TRUE(plot.adjusted(-4, -4, 4, 4).contains(p)) << p.x() << "," << p.y();
            EXPECT_GT(std::abs(p.x() - lostX), 1) << "the line crosses the lost answer at " << p.y();
        }

        // The red mark at the lost answer's time, on the bottom edge; the
        // amber one where a probe proved the host up.
        const struct {
            QColor colour;
            int sample;
        } marks[] = {{LatencyChart::lossColour(), kLost}, {LatencyChart::upWithoutEchoColour(), kProbedUp}};
        for (const auto &mark : marks) {
            const std::vector<QPoint> pixels = pixelsOf(image, mark.colour);
            EXPECT_GE(pixels.size(), 12u) << "sample " << mark.sample;
            const int x = qRound(scale.xOf(timeOf(mark.sample), plot));
            for (const QPoint &p : pixels) {
                EXPECT_LE(std::abs(p.x() - x), 1) << "sample " << mark.sample;
                EXPECT_LE(p.y(), plot.bottom());
                EXPECT_GE(p.y(), plot.bottom() - 10);
            }
        }
        // Axis labels and the title are drawn in the text colour, outside
        // the plot.
        int textOutside = 0;
        for (const QPoint &p : pixelsOf(image, colours.text, 30))
            textOutside += !plot.contains(p);
        EXPECT_GT(textOutside, 50);
    }
}

TEST(LatencyChart, SaysWhatItLacksInPlaceOfAChart)
{
    struct Case {
        const char *name;
        QString title;
        std::shared_ptr<const ResultHistory> history;
        QString text;
    };
    const Case cases[] = {
        {"nothing selected", "", nullptr, "Select a row to see its round-trip times"},
        {"a row never tested", "PC7", nullptr, "No results yet"},
        {"a history without samples", "PC7", std::make_shared<ResultHistory>(), "No results yet"},
        {"a history", "PC7", knownHistory(), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LatencyChart chart;
        chart.setPalette(paletteOf(kLight));
        chart.resize(chart.sizeHint());
        chart.setHistory(c.title, c.history);
        EXPECT_EQ(chart.placeholderText(), c.text);
        const QImage image = rendered(chart);
        const std::size_t line = pixelsOf(image, kLight.highlight, 60).size();
        const std::size_t marks = pixelsOf(image, LatencyChart::lossColour()).size();
        // The placeholder's words in the middle of the widget.
        const QRect middle(0, chart.height() / 3, chart.width(), chart.height() / 3);
        int wordPixels = 0;
        for (const QPoint &p : pixelsOf(image, kLight.placeholder, 60))
            wordPixels += middle.contains(p);
        if (c.text.isEmpty()) {
            EXPECT_GT(line, 0u);
            EXPECT_GT(marks, 0u);
        } else {
            EXPECT_EQ(line, 0u);
            EXPECT_EQ(marks, 0u);
            EXPECT_GT(wordPixels, 30);
        }
    }
}

TEST(LatencyChart, FollowsTheSharedHistoryAndItsSpan)
{
    const auto history = knownHistory();
    LatencyChart chart;
    chart.setPalette(paletteOf(kLight));
    chart.resize(chart.sizeHint());
    chart.setHistory("PC7", history);
    chart.show();

    // A round later the row's history has one more sample, lost.
    PingResult lost;
    lost.outcome = PingOutcome::TimedOut;
    lost.when = QDateTime::fromMSecsSinceEpoch(kNewest + kStep, Qt::UTC);
    history->add(lost);
    chart.refresh();
    const auto redColumns = [&] {
        std::set<int> xs;
        for (const QPoint &p : pixelsOf(rendered(chart), LatencyChart::lossColour()))
            xs.insert(p.x());
        // The left edge of each run of red columns.
        std::vector<int> columns;
        for (const int x : xs)
            if (!xs.contains(x - 1))
                columns.push_back(x);
        return columns;
    };
    const auto expectedColumns = [&](std::initializer_list<qint64> times) {
        const ChartScale scale = ChartScale::lastSpan(history->samples(), chart.spanMs(), 0);
        std::vector<int> columns;
        for (const qint64 t : times)
            columns.push_back(qRound(scale.xOf(t, chart.plotRect())) - 1); // the mark's left edge
        return columns;
    };
    EXPECT_EQ(redColumns(), expectedColumns({timeOf(kLost), kNewest + kStep}));

    // Five minutes back, the older loss is out of sight.
    chart.setSpanMs(5 * 60 * 1000);
    EXPECT_EQ(redColumns(), expectedColumns({kNewest + kStep}));
}

} // namespace

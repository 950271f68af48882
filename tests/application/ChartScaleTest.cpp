// The latency chart's arithmetic: the round-trip axis's nice top and
// ticks, the time ticks on whole steps of local time, the mapping into the
// plot and the line broken by lost answers and pauses.
#include "application/ChartScale.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

using Sample = ResultHistory::Sample;

// 2025-03-01 10:00:00 UTC.
const qint64 kTen = QDateTime(QDate(2025, 3, 1), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch();
const QTimeZone kUtc = QTimeZone::utc();
const QTimeZone kIndia(5 * 3600 + 30 * 60); // an offset that is not whole hours

Sample reply(qint64 atMs, qint32 us) { return {atMs, us, PingOutcome::Reply}; }
Sample lost(qint64 atMs) { return {atMs, -1, PingOutcome::TimedOut}; }
Sample upWithoutEcho(qint64 atMs) { return {atMs, -1, PingOutcome::UpWithoutEcho}; }

QStringList labelsOf(const std::vector<ChartTick> &ticks)
{
    QStringList labels;
    for (const ChartTick &t : ticks)
        labels << t.label;
    return labels;
}

TEST(ChartScale, NiceCeilingIsOneTwoOrFiveTimesAPowerOfTen)
{
    const std::pair<double, double> cases[] = {
        {0, 1},         {-3, 1},  {0.3, 0.5},  {0.2, 0.2}, {1, 1},     {1.01, 2},
        {2, 2},         {2.5, 5}, {7, 10},     {20, 20},   {20.5, 50}, {999, 1000},
        {0.0449, 0.05}, {5, 5},   {5.001, 10}, {0.1, 0.1}, {3e5, 5e5}, {0.00012, 0.0002},
    };
    for (const auto &[value, nice] : cases)
        EXPECT_DOUBLE_EQ(niceCeiling(value), nice) << value;
}

TEST(ChartScale, RoundTripAxisTopsTheLongestReplyInTheWindow)
{
    struct Case {
        const char *name;
        std::deque<Sample> samples;
        double top;
        QStringList labels;
    };
    const Case cases[] = {
        {"sub-millisecond LAN",
         {reply(kTen, 120), reply(kTen + 1000, 430)},
         0.5,
         {"0.0", "0.1", "0.2", "0.3", "0.4", "0.5"}},
        {"a top of two has four steps", {reply(kTen, 1500)}, 2, {"0.0", "0.5", "1.0", "1.5", "2.0"}},
        {"exactly a nice value", {reply(kTen, 10000)}, 10, {"0", "2", "4", "6", "8", "10"}},
        {"tens of milliseconds", {reply(kTen, 37000), reply(kTen + 1, 200)}, 50, {"0", "10", "20", "30", "40", "50"}},
        {"never finer than a tenth", {reply(kTen, 20)}, 0.1, {"0.00", "0.02", "0.04", "0.06", "0.08", "0.10"}},
        {"no replies: one millisecond",
         {lost(kTen), lost(kTen + 10000)},
         1,
         {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        {"a reply outside the window does not count",
         {reply(kTen - 7200 * 1000, 900000), reply(kTen, 3000)},
         5,
         {"0", "1", "2", "3", "4", "5"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ChartScale scale(c.samples, kTen - 3600 * 1000, kTen + 60000, kUtc);
        EXPECT_DOUBLE_EQ(scale.topMs(), c.top);
        const std::vector<ChartTick> ticks = scale.valueTicks();
        EXPECT_EQ(labelsOf(ticks), c.labels);
        ASSERT_FALSE(ticks.empty());
        EXPECT_DOUBLE_EQ(ticks.front().value, 0);
        EXPECT_DOUBLE_EQ(ticks.back().value, c.top);
    }
}

TEST(ChartScale, TimeTicksFallOnWholeStepsOfTheLocalClock)
{
    constexpr qint64 s = 1000, min = 60 * s, h = 60 * min;
    struct Case {
        const char *name;
        qint64 from, to;
        QTimeZone zone;
        int maxTicks;
        QStringList labels;
        qint64 firstAt; // the first tick's time
    };
    const Case cases[] = {
        {"an hour, room for eight",
         kTen,
         kTen + h,
         kUtc,
         8,
         {"10:00", "10:10", "10:20", "10:30", "10:40", "10:50", "11:00"},
         kTen},
        {"an hour, room for four", kTen, kTen + h, kUtc, 4, {"10:00", "10:30", "11:00"}, kTen},
        {"half-hour zone, room for four", kTen, kTen + h, kIndia, 4, {"15:30", "16:00", "16:30"}, kTen},
        {"half-hour zone on whole local hours",
         kTen + 10 * min,
         kTen + 3 * h,
         kIndia,
         3,
         {"16:00", "17:00", "18:00"},
         kTen + 30 * min},
        {"a minute in seconds",
         kTen + 5 * s,
         kTen + 65 * s,
         kUtc,
         7,
         {"10:00:10", "10:00:20", "10:00:30", "10:00:40", "10:00:50", "10:01:00"},
         kTen + 10 * s},
        {"a minute, room for two", kTen + 5 * s, kTen + 65 * s, kUtc, 2, {"10:00:30", "10:01:00"}, kTen + 30 * s},
        {"shorter than a minute is widened",
         kTen + 50 * s,
         kTen + 60 * s,
         kUtc,
         3,
         {"10:00:00", "10:00:30", "10:01:00"},
         kTen},
        {"a day, room for five", kTen, kTen + 24 * h, kUtc, 5, {"12:00", "18:00", "00:00", "06:00"}, kTen + 2 * h},
        {"a day, room for one", kTen, kTen + 24 * h, kUtc, 1, {"00:00"}, kTen + 14 * h},
        {"fifteen minutes of a quarter hour",
         kTen + 2 * min,
         kTen + 62 * min,
         kUtc,
         4,
         {"10:15", "10:30", "10:45", "11:00"},
         kTen + 15 * min},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ChartScale scale({}, c.from, c.to, c.zone);
        const std::vector<ChartTick> ticks = scale.timeTicks(c.maxTicks);
        EXPECT_EQ(labelsOf(ticks), c.labels);
        ASSERT_FALSE(ticks.empty());
        EXPECT_EQ(qint64(ticks.front().value), c.firstAt);
        for (const ChartTick &t : ticks) {
            EXPECT_GE(qint64(t.value), scale.fromMs());
            EXPECT_LE(qint64(t.value), scale.toMs());
        }
    }
}

TEST(ChartScale, MapsTimeAcrossAndRoundTripUpwardsIntoThePlot)
{
    // 100 s across 200 px, 0 .. 5 ms over 100 px.
    const QRectF plot(10, 20, 200, 100);
    const ChartScale scale({reply(kTen, 4200)}, kTen, kTen + 100000, kUtc);
    ASSERT_DOUBLE_EQ(scale.topMs(), 5);
    struct Case {
        qint64 at;
        double ms;
        QPointF pixel;
    };
    const Case cases[] = {
        {kTen, 0, {10, 120}},         {kTen + 100000, 5, {210, 20}}, {kTen + 50000, 2.5, {110, 70}},
        {kTen + 25000, 1, {60, 100}}, {kTen + 10000, 80, {30, 20}},  {kTen + 90000, -1, {190, 120}},
    };
    for (const Case &c : cases) {
        const QPointF p = scale.map(c.at, c.ms, plot);
        EXPECT_DOUBLE_EQ(p.x(), c.pixel.x()) << c.at - kTen << " ms, " << c.ms;
        EXPECT_DOUBLE_EQ(p.y(), c.pixel.y()) << c.at - kTen << " ms, " << c.ms;
    }
}

TEST(ChartScale, LostAnswersAndPausesBreakTheLine)
{
    // Samples every 10 s from kTen, written as one letter each: 'r' a reply
    // of 1 ms, 'l' lost, 'u' up without echo, '_' no sample (a pause).
    // Expected: the points of each line, and the marks ('l' or 'u') with
    // the 10 s slot each sits in.
    struct Case {
        const char *name;
        std::string samples;
        std::vector<int> lines;
        std::string marks;
        std::vector<int> markSlots;
    };
    const Case cases[] = {
        {"all replies: one line", "rrrrr", {5}, "", {}},
        {"a loss in the middle splits it", "rrlrr", {2, 2}, "l", {2}},
        {"losses at both ends", "lrrrl", {3}, "ll", {0, 4}},
        {"losses in a row", "rllllr", {1, 1}, "llll", {1, 2, 3, 4}},
        {"up without echo is marked apart", "rrurr", {2, 2}, "u", {2}},
        {"nothing answered", "lll", {}, "lll", {0, 1, 2}},
        {"a short pause is bridged", "rrr_rr", {5}, "", {}},
        {"a long pause breaks the line", "rrrr____rrr", {4, 3}, "", {}},
        {"a pause before a loss", "rrr_____lrr", {3, 2}, "l", {8}},
    };
    const QRectF plot(0, 0, 1000, 100);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::deque<Sample> samples;
        for (std::size_t i = 0; i < c.samples.size(); ++i) {
            const qint64 at = kTen + qint64(i) * 10000;
            if (c.samples[i] == 'r')
                samples.push_back(reply(at, 1000));
            else if (c.samples[i] == 'l')
                samples.push_back(lost(at));
            else if (c.samples[i] == 'u')
                samples.push_back(upWithoutEcho(at));
        }
        const qint64 to = kTen + qint64(c.samples.size() - 1) * 10000;
        const ChartScale scale(samples, kTen, to, kUtc);
        const ChartSeries series = scale.series(plot);
        std::vector<int> lines;
        for (const auto &line : series.lines) {
            lines.push_back(int(line.size()));
            for (const QPointF &p : line)
                EXPECT_DOUBLE_EQ(p.y(), scale.yOf(1, plot));
        }
        EXPECT_EQ(lines, c.lines);
        std::string marks;
        std::vector<int> markSlots;
        for (const ChartSeries::Mark &m : series.losses) {
            marks += m.hostUp ? 'u' : 'l';
            markSlots.push_back(int(std::lround((m.at.x() - scale.xOf(kTen, plot))
                                                / (scale.xOf(kTen + 10000, plot) - scale.xOf(kTen, plot)))));
            EXPECT_DOUBLE_EQ(m.at.y(), plot.bottom());
        }
        EXPECT_EQ(marks, c.marks);
        EXPECT_EQ(markSlots, c.markSlots);
    }
}

TEST(ChartScale, TheLastSpanEndsAtTheNewestSample)
{
    constexpr qint64 h = 3600 * 1000;
    // Out of order: the clock was set back once.
    const std::deque<Sample> samples = {reply(kTen - 3 * h, 1000), reply(kTen, 2000), reply(kTen - 2 * h, 3000)};
    const ChartScale hour = ChartScale::lastSpan(samples, h, 0, kUtc);
    EXPECT_EQ(hour.fromMs(), kTen - h);
    EXPECT_EQ(hour.toMs(), kTen);
    EXPECT_EQ(hour.sampleCount(), 1);
    const ChartScale day = ChartScale::lastSpan(samples, 24 * h, 0, kUtc);
    EXPECT_EQ(day.fromMs(), kTen - 3 * h); // shorter than the span: all of it
    EXPECT_EQ(day.sampleCount(), 3);
    EXPECT_DOUBLE_EQ(day.topMs(), 5);
    const ChartSeries series = day.series(QRectF(0, 0, 300, 100));
    ASSERT_EQ(series.lines.size(), 1u);
    ASSERT_EQ(series.lines[0].size(), 3u);
    EXPECT_LT(series.lines[0][0].x(), series.lines[0][1].x()); // drawn in time order
    EXPECT_LT(series.lines[0][1].x(), series.lines[0][2].x());
    const ChartScale empty = ChartScale::lastSpan({}, h, kTen, kUtc);
    EXPECT_EQ(empty.toMs(), kTen);
    EXPECT_EQ(empty.toMs() - empty.fromMs(), ChartScale::kMinimumSpanMs);
    EXPECT_EQ(empty.sampleCount(), 0);
}

} // namespace

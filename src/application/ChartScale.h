#pragma once

#include "resources/ResultHistory.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTimeZone>
#include <QtGlobal>

#include <deque>
#include <vector>

// The smallest of 1, 2 or 5 times a power of ten that is at least VALUE
// (0.3 -> 0.5, 7 -> 10, 20 -> 20); 1 for a value that is not above zero.
double niceCeiling(double value);

// A mark on an axis: where (milliseconds of round trip, or milliseconds
// since the Unix epoch) and what it says.
struct ChartTick {
    double value = 0;
    QString label;
    friend bool operator==(const ChartTick &, const ChartTick &) = default;
};

// What the chart draws of a history, in pixels: the replies as polylines,
// broken where an answer was lost or the samples pause, and the samples
// without an echo reply as marks on the bottom edge.
struct ChartSeries {
    struct Mark {
        QPointF at;
        bool hostUp = false; // a probe proved it up though the echo got no answer
    };
    std::vector<std::vector<QPointF>> lines;
    std::vector<Mark> losses;
};

// The arithmetic of the latency chart, without a widget: the time window
// [fromMs, toMs] across, the round trips in milliseconds from 0 to a nice
// top upwards.
class ChartScale {
public:
    // The shortest window: a single sample still gets a minute around it.
    static constexpr qint64 kMinimumSpanMs = 60 * 1000;

    // The window and the samples of SAMPLES inside it; a window shorter
    // than kMinimumSpanMs is widened backwards from TO_MS. Times are told
    // in ZONE.
    ChartScale(const std::deque<ResultHistory::Sample> &samples, qint64 fromMs, qint64 toMs,
               const QTimeZone &zone = QTimeZone::systemTimeZone());

    // The last SPAN_MS of the samples up to the newest, or all of them when
    // they span less; empty samples give the minimum window ending at
    // NOW_MS.
    static ChartScale lastSpan(const std::deque<ResultHistory::Sample> &samples, qint64 spanMs, qint64 nowMs,
                               const QTimeZone &zone = QTimeZone::systemTimeZone());

    qint64 fromMs() const { return m_fromMs; }
    qint64 toMs() const { return m_toMs; }
    // The round trip at the top edge, in milliseconds.
    double topMs() const { return m_topMs; }
    // How many of the samples fall in the window.
    int sampleCount() const { return int(m_samples.size()); }

    // Round-trip ticks from 0 to the top: four or five steps of a nice size,
    // labelled with as many decimals as the step needs ("0", "0.2", ...).
    std::vector<ChartTick> valueTicks() const;
    // Time ticks on whole steps of local time (10 s, 30 s, 1 min, 5 min,
    // 15 min, 1 h, ...), the smallest step that gives at most MAX_TICKS of
    // them; labelled HH:mm, or HH:mm:ss for steps under a minute.
    std::vector<ChartTick> timeTicks(int maxTicks) const;

    // Where a sample at AT_MS with round trip MS lies in PLOT. Round trips
    // above the top stay on the top edge.
    QPointF map(qint64 atMs, double ms, const QRectF &plot) const;
    double xOf(qint64 atMs, const QRectF &plot) const;
    double yOf(double ms, const QRectF &plot) const;

    // The window's samples in PLOT. A pause longer than three times the
    // usual time between samples (the monitor was off) breaks the line too.
    ChartSeries series(const QRectF &plot) const;

private:
    std::vector<ResultHistory::Sample> m_samples; // those in the window, oldest first
    qint64 m_fromMs = 0;
    qint64 m_toMs = 0;
    double m_topMs = 1;
    QTimeZone m_zone;
};

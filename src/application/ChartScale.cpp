#include "application/ChartScale.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A round-trip axis finer than a tenth of a millisecond would chart the
// timer's noise, not the network.
constexpr double kSmallestTopMs = 0.1;
// A line bridges a pause of up to this many usual steps between samples.
constexpr qint64 kPauseSteps = 3;

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr std::array<qint64, 18> kTimeSteps = {
    kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
    kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour,   2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   24 * kHour,
};

// The power of ten at or just below VALUE (above zero).
double decade(double value) { return std::pow(10.0, std::floor(std::log10(value))); }

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

} // namespace

double niceCeiling(double value)
{
    if (!(value > 0) || !std::isfinite(value))
        return 1;
    const double base = decade(value);
    for (const double m : {1.0, 2.0, 5.0}) {
        // log10 and pow round: 0.2 must stay 0.2, not become 0.5.
        if (m * base >= value * (1 - 1e-9))
            return m * base;
    }
    return 10 * base;
}

ChartScale::ChartScale(const std::deque<ResultHistory::Sample> &samples, qint64 fromMs, qint64 toMs,
                       const QTimeZone &zone)
    : m_fromMs(std::min(fromMs, toMs - kMinimumSpanMs)), m_toMs(toMs), m_zone(zone)
{
    qint32 longest = -1;
    for (const ResultHistory::Sample &s : samples) {
        if (s.atMs < m_fromMs || s.atMs > m_toMs)
            continue;
        m_samples.push_back(s);
        longest = std::max(longest, s.roundTripMicroseconds);
    }
    // The wall clock may have been set back between two samples.
    std::stable_sort(m_samples.begin(), m_samples.end(),
                     [](const ResultHistory::Sample &a, const ResultHistory::Sample &b) { return a.atMs < b.atMs; });
    m_topMs = std::max(kSmallestTopMs, niceCeiling(longest / 1000.0));
}

ChartScale ChartScale::lastSpan(const std::deque<ResultHistory::Sample> &samples, qint64 spanMs, qint64 nowMs,
                                const QTimeZone &zone)
{
    if (samples.empty())
        return ChartScale(samples, nowMs - kMinimumSpanMs, nowMs, zone);
    const auto [oldest, newest] = std::minmax_element(
        samples.begin(), samples.end(),
        [](const ResultHistory::Sample &a, const ResultHistory::Sample &b) { return a.atMs < b.atMs; });
    return ChartScale(samples, std::max(oldest->atMs, newest->atMs - spanMs), newest->atMs, zone);
}

std::vector<ChartTick> ChartScale::valueTicks() const
{
    // The top is 1, 2 or 5 times a power of ten: five steps of 0.2, four of
    // 0.5 or five of 1 times that power.
    const double base = decade(m_topMs);
    const int steps = std::lround(m_topMs / base) == 2 ? 4 : 5;
    const double step = m_topMs / steps;
    const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
    std::vector<ChartTick> ticks;
    for (int i = 0; i <= steps; ++i) {
        const double value = step * i;
        ticks.push_back({value, QString::number(value, 'f', decimals)});
    }
    return ticks;
}

std::vector<ChartTick> ChartScale::timeTicks(int maxTicks) const
{
    maxTicks = std::max(1, maxTicks);
    // Steps fall on whole minutes and hours of the clock the user reads,
    // whose offset from UTC need not be whole hours.
    const qint64 offset = qint64(m_zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(m_fromMs, Qt::UTC))) * kSecond;
    qint64 step = kTimeSteps.back();
    for (const qint64 candidate : kTimeSteps) {
        const qint64 first = floorDiv(m_fromMs + offset + candidate - 1, candidate);
        const qint64 last = floorDiv(m_toMs + offset, candidate);
        if (last - first + 1 <= maxTicks) {
            step = candidate;
            break;
        }
    }
    const QString format = step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    std::vector<ChartTick> ticks;
    for (qint64 t = floorDiv(m_fromMs + offset + step - 1, step) * step - offset; t <= m_toMs; t += step)
        ticks.push_back({double(t), QDateTime::fromMSecsSinceEpoch(t, m_zone).toString(format)});
    return ticks;
}

double ChartScale::xOf(qint64 atMs, const QRectF &plot) const
{
    return plot.left() + double(atMs - m_fromMs) * plot.width() / double(m_toMs - m_fromMs);
}

double ChartScale::yOf(double ms, const QRectF &plot) const
{
    return plot.bottom() - std::clamp(ms, 0.0, m_topMs) / m_topMs * plot.height();
}

QPointF ChartScale::map(qint64 atMs, double ms, const QRectF &plot) const { return {xOf(atMs, plot), yOf(ms, plot)}; }

ChartSeries ChartScale::series(const QRectF &plot) const
{
    std::vector<qint64> steps;
    for (std::size_t i = 1; i < m_samples.size(); ++i)
        steps.push_back(m_samples[i].atMs - m_samples[i - 1].atMs);
    qint64 longestBridged = m_toMs - m_fromMs;
    if (steps.size() >= 2) {
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        longestBridged = kPauseSteps * std::max<qint64>(steps[steps.size() / 2], 1);
    }

    ChartSeries out;
    std::vector<QPointF> line;
    const auto endLine = [&] {
        if (!line.empty())
            out.lines.push_back(std::move(line));
        line.clear();
    };
    qint64 previousAt = 0;
    for (const ResultHistory::Sample &s : m_samples) {
        if (s.roundTripMicroseconds < 0) {
            endLine();
            out.losses.push_back({QPointF(xOf(s.atMs, plot), plot.bottom()), s.up()});
        } else {
            if (!line.empty() && s.atMs - previousAt > longestBridged)
                endLine();
            line.push_back(map(s.atMs, s.roundTripMicroseconds / 1000.0, plot));
        }
        previousAt = s.atMs;
    }
    endLine();
    return out;
}

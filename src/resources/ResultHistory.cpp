#include "resources/ResultHistory.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

void ResultHistory::add(const PingResult &result)
{
    if (result.outcome == PingOutcome::Aborted || !result.when.isValid())
        return;
    Sample s;
    s.atMs = result.when.toMSecsSinceEpoch();
    s.outcome = result.outcome;
    if (result.answered() && result.roundTripMicroseconds)
        s.roundTripMicroseconds =
            qint32(std::clamp<qint64>(*result.roundTripMicroseconds, 0, std::numeric_limits<qint32>::max()));
    m_samples.push_back(s);
    while (m_samples.size() > kMaxSamples)
        m_samples.pop_front();
    while (!m_samples.empty() && m_samples.front().atMs < s.atMs - kMaxAgeMs)
        m_samples.pop_front();
}

void ResultHistory::forgetBefore(const QDateTime &now)
{
    const qint64 oldest = now.toMSecsSinceEpoch() - kMaxAgeMs;
    while (!m_samples.empty() && m_samples.front().atMs < oldest)
        m_samples.pop_front();
}

HistoryStats statisticsOf(const ResultHistory &history)
{
    HistoryStats stats;
    qint64 sum = 0, jitterSum = 0;
    int replies = 0, steps = 0;
    std::optional<qint64> previous;
    for (const ResultHistory::Sample &s : history.samples()) {
        ++stats.tests;
        if (s.roundTripMicroseconds < 0) {
            ++stats.lost;
            continue;
        }
        const qint64 rtt = s.roundTripMicroseconds;
        ++replies;
        sum += rtt;
        stats.minimum = std::min(stats.minimum.value_or(rtt), rtt);
        stats.maximum = std::max(stats.maximum.value_or(rtt), rtt);
        if (previous) {
            jitterSum += std::llabs(rtt - *previous);
            ++steps;
        }
        previous = rtt;
    }
    if (stats.tests > 0)
        stats.lossPercent = 100.0 * stats.lost / stats.tests;
    if (replies > 0)
        stats.average = (sum + replies / 2) / replies;
    if (steps > 0)
        stats.jitter = (jitterSum + steps / 2) / steps;
    return stats;
}

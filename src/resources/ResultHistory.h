#pragma once

#include "resources/PingResult.h"

#include <QDateTime>
#include <QtGlobal>

#include <deque>
#include <optional>

// A row's recent outcomes, kept in memory for the statistics and the chart:
// the last kMaxAge of them, and never more than kMaxSamples (whichever is
// fewer). A sample is small (a time, a round trip, an outcome), so that a
// list of a thousand rows watched for a day stays within some 60 MB.
class ResultHistory {
public:
    static constexpr qint64 kMaxAgeMs = 24LL * 60 * 60 * 1000;
    static constexpr std::size_t kMaxSamples = 4096;

    struct Sample {
        qint64 atMs = 0;                   // when, in milliseconds since the Unix epoch (UTC)
        qint32 roundTripMicroseconds = -1; // -1: no echo reply
        PingOutcome outcome = PingOutcome::Failed;

        bool up() const { return outcome == PingOutcome::Reply || outcome == PingOutcome::UpWithoutEcho; }
        friend bool operator==(const Sample &, const Sample &) = default;
    };

    // Keeps RESULT (an aborted test is no outcome and is not kept), and
    // lets go of what is too old or too many.
    void add(const PingResult &result);
    const std::deque<Sample> &samples() const { return m_samples; }
    // Lets go of what is older than kMaxAgeMs before NOW.
    void forgetBefore(const QDateTime &now);

private:
    std::deque<Sample> m_samples;
};

// What the samples of a history say about a link.
struct HistoryStats {
    int tests = 0; // outcomes kept
    int lost = 0;  // of them without an echo reply
    double lossPercent = 0;
    // Of the echo replies' round trips, in microseconds; none without replies.
    std::optional<qint64> minimum, average, maximum;
    // The mean difference between one reply's round trip and the next's
    // (as RTP measures jitter); none with fewer than two replies.
    std::optional<qint64> jitter;

    friend bool operator==(const HistoryStats &, const HistoryStats &) = default;
};

HistoryStats statisticsOf(const ResultHistory &history);

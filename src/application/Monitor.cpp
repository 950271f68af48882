#include "application/Monitor.h"

#include "application/PingSweep.h"
#include "resources/ResourceList.h"

Monitor::Monitor(PingSweep &sweep, ResourceList &list, QObject *parent) : QObject(parent), m_sweep(sweep), m_list(list)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Monitor::startRound);
    connect(&m_sweep, &PingSweep::rowFinished, this, &Monitor::rowFinished);
    connect(&m_sweep, &PingSweep::finished, this, &Monitor::roundOver);
}

void Monitor::start(std::chrono::milliseconds interval)
{
    if (m_running)
        return;
    m_interval = interval;
    m_running = true;
    m_lastRound = false;
    m_watches.clear();
    emit started();
    startRound();
}

void Monitor::setInterval(std::chrono::milliseconds interval)
{
    m_interval = interval;
    // A shorter interval brings the next round closer at once, also when it
    // is set while a round runs (the round's end waits for m_nextRound).
    if (m_running && m_nextRound.isValid()) {
        const qint64 left = QDateTime::currentDateTimeUtc().msecsTo(m_nextRound);
        const auto wait = std::max<qint64>(0, std::min<qint64>(left, interval.count()));
        m_nextRound = QDateTime::currentDateTimeUtc().addMSecs(wait);
        if (m_timer.isActive())
            m_timer.start(std::chrono::milliseconds(wait));
    }
}

void Monitor::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    m_nextRound = QDateTime();
    m_dueAfter = false;
    if (m_inRound)
        m_sweep.abort(); // roundOver() follows from its finished()
    emit stopped();
}

void Monitor::stopAfterRound()
{
    if (!m_running)
        return;
    if (!m_inRound) {
        stop();
        return;
    }
    m_lastRound = true;
    m_timer.stop();
}

void Monitor::startRound()
{
    if (!m_running)
        return;
    // The next round counts from this one's start.
    m_nextRound = QDateTime::currentDateTimeUtc().addMSecs(m_interval.count());
    if (m_sweep.running()) {
        // A sweep (the user's, or a round that took longer than the
        // interval) still runs: the round starts when it ends.
        m_dueAfter = true;
        return;
    }
    m_dueAfter = false;
    m_inRound = true;
    emit roundStarted();
    if (!m_sweep.start(PingSweep::Presence::Quiet))
        m_inRound = false;
}

void Monitor::rowFinished(int row, const PingResult &result)
{
    if (!m_inRound || result.outcome == PingOutcome::Aborted || row < 0 || row >= m_list.count())
        return;
    const ResourceRow &r = m_list.row(row);
    auto it = m_watches.find(r.id);
    if (it == m_watches.end())
        it = m_watches.emplace(r.id, HostWatch(m_roundsToDown)).first;
    const QString name = r.subItem(siResource);
    const QDateTime at = result.when.isValid() ? result.when.toLocalTime() : QDateTime::currentDateTime();
    switch (it->second.round(result.up())) {
    case HostWatch::Change::WentDown:
        emit hostWentDown(name, downText(at, name, it->second.failedInARow()));
        break;
    case HostWatch::Change::CameUp:
        emit hostCameUp(name, upText(at, name, result));
        break;
    case HostWatch::Change::None:
        break;
    }
}

void Monitor::roundOver()
{
    const bool ours = m_inRound;
    m_inRound = false;
    if (ours)
        emit roundFinished();
    if (!m_running)
        return;
    if (m_lastRound) {
        stop();
        return;
    }
    if (m_dueAfter) {
        startRound();
        return;
    }
    if (ours) {
        const qint64 left = std::max<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(m_nextRound));
        m_timer.start(std::chrono::milliseconds(left));
    }
}

QString Monitor::downText(const QDateTime &at, const QString &name, int rounds)
{
    return QStringLiteral("%1 %2 down after %3 failed rounds")
        .arg(at.toString(QStringLiteral("HH:mm:ss")), name)
        .arg(rounds);
}

QString Monitor::upText(const QDateTime &at, const QString &name, const PingResult &result)
{
    const QString time = at.toString(QStringLiteral("HH:mm:ss"));
    if (result.answered() && result.roundTripMicroseconds) {
        // A tenth of a millisecond is fine enough for an alert, but a LAN's
        // answer often comes sooner, and "0.0 ms" reads like no answer.
        const qint64 us = *result.roundTripMicroseconds;
        return QStringLiteral("%1 %2 up, %3 ms")
            .arg(time, name, QString::number(double(us) / 1000.0, 'f', us < 100 ? 2 : 1));
    }
    // Up by a probe: its message says how.
    return QStringLiteral("%1 %2 up (%3)").arg(time, name, result.detail);
}

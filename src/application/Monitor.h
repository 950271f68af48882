#pragma once

#include "application/HostWatch.h"
#include "resources/PingResult.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <unordered_map>

class PingSweep;
class ResourceList;

// Watching the network: the sweep of the ticked rows, repeated every
// interval, quietly (the list stays the user's meanwhile). A round that is
// still running when the next is due is not doubled: the next starts when
// it ends. Each round's outcome of each row goes to that row's HostWatch,
// and what changes is told as an alert that does not flap.
class Monitor : public QObject {
    Q_OBJECT
public:
    Monitor(PingSweep &sweep, ResourceList &list, QObject *parent = nullptr);

    // Starts watching: a round at once, then one every INTERVAL.
    void start(std::chrono::milliseconds interval);
    // Stops watching; a round in flight ends as Abort ends a sweep.
    void stop();
    // Stops watching once the round in flight has ended (at once when none
    // is); finished() follows.
    void stopAfterRound();
    bool running() const { return m_running; }
    std::chrono::milliseconds interval() const { return m_interval; }
    void setInterval(std::chrono::milliseconds interval);
    // When the next round starts; invalid while one runs or none is due.
    QDateTime nextRound() const { return m_nextRound; }
    // K: failed rounds in a row before a host is down (from now on).
    int roundsToDown() const { return m_roundsToDown; }
    void setRoundsToDown(int rounds) { m_roundsToDown = rounds; }

    // An alert's line in the event log, "12:01:03 PC7 down after 3 failed
    // rounds", "12:04:33 PC7 up, 0.4 ms", at AT in local time.
    static QString downText(const QDateTime &at, const QString &name, int rounds);
    static QString upText(const QDateTime &at, const QString &name, const PingResult &result);

signals:
    void started();
    void roundStarted();
    // A round is over; the next is due at nextRound().
    void roundFinished();
    void stopped();
    // A watched host went down or came back: NAME is its Resource cell,
    // TEXT the event log's line for it.
    void hostWentDown(const QString &name, const QString &text);
    void hostCameUp(const QString &name, const QString &text);

private:
    void startRound();
    void roundOver();
    void rowFinished(int row, const PingResult &result);

    PingSweep &m_sweep;
    ResourceList &m_list;
    QTimer m_timer;
    std::chrono::milliseconds m_interval{30000};
    QDateTime m_nextRound;
    bool m_running = false;
    bool m_inRound = false;  // the sweep running is one of ours
    bool m_dueAfter = false; // a round came due while the sweep was busy
    bool m_lastRound = false;
    int m_roundsToDown = 3;
    std::unordered_map<std::uint64_t, HostWatch> m_watches; // by row id
};

#pragma once

#include "probe/ProbeParts.h"
#include "support/Spin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

// What the fake parts saw, kept apart from them so that a test can still
// read it after the prober (and its parts) went away.
struct FakeParts {
    struct Started {
        quint64 attempt;
        Ipv4Address target;
        quint16 port;
    };
    std::vector<Started> started;
    QMap<quint64, Started> open; // started, neither ended nor closed
    std::vector<quint64> closed;
    QSet<quint16> noSocketFor; // ports for which start() finds no socket
    QHash<Ipv4Address, int> watched;
    int unwatches = 0;
    bool connectsGone = false;
    bool neighboursGone = false;
    int openWhenGone = -1; // attempts still open when the connects went away
    ConnectAttempts::Ended ended;
    NeighbourSource::Seen seen;

    // The attempt to PORT that is open now, or 0.
    quint64 attemptTo(quint16 port) const
    {
        for (auto it = open.cbegin(); it != open.cend(); ++it)
            if (it->port == port)
                return it.key();
        return 0;
    }
    // Ends the attempt to PORT, as the event loop would report it.
    bool endConnect(quint16 port, ConnectEnd end)
    {
        const quint64 attempt = attemptTo(port);
        if (!attempt)
            return false;
        open.remove(attempt);
        ended(attempt, end);
        return true;
    }
    void see(const NeighbourEntry &entry)
    {
        if (watched.value(entry.address) > 0)
            seen(entry);
    }
};

class FakeConnects : public ConnectAttempts {
public:
    explicit FakeConnects(std::shared_ptr<FakeParts> parts) : m_parts(std::move(parts)) {}
    ~FakeConnects() override
    {
        m_parts->connectsGone = true;
        m_parts->openWhenGone = int(m_parts->open.size());
        m_parts->open.clear();
    }
    void setEnded(Ended ended) override { m_parts->ended = std::move(ended); }
    bool start(quint64 attempt, Ipv4Address target, quint16 port) override
    {
        if (m_parts->noSocketFor.contains(port))
            return false;
        const FakeParts::Started s{attempt, target, port};
        m_parts->started.push_back(s);
        m_parts->open.insert(attempt, s);
        return true;
    }
    void close(quint64 attempt) override
    {
        if (m_parts->open.remove(attempt))
            m_parts->closed.push_back(attempt);
    }

private:
    std::shared_ptr<FakeParts> m_parts;
};

class FakeNeighbours : public NeighbourSource {
public:
    explicit FakeNeighbours(std::shared_ptr<FakeParts> parts) : m_parts(std::move(parts)) {}
    ~FakeNeighbours() override { m_parts->neighboursGone = true; }
    void setSeen(Seen seen) override { m_parts->seen = std::move(seen); }
    void watch(Ipv4Address address) override { ++m_parts->watched[address]; }
    void unwatch(Ipv4Address address) override
    {
        --m_parts->watched[address];
        ++m_parts->unwatches;
    }

private:
    std::shared_ptr<FakeParts> m_parts;
};

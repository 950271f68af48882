#pragma once

#include "probe/HostProber.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <vector>

// A prober that answers from a table by target, through the event loop as
// the real one does. A target may be proved after a delay, found silent
// (nothing, after its delay), or never answered at all; one missing from
// the table is silent for the whole budget, as a switched-off machine is.
// With `manual` set nothing answers until the test calls answer().
class FakeHostProber : public HostProber {
public:
    struct Answer {
        std::optional<ProbeProof> proof; // nothing: the host stays unproved
        std::chrono::milliseconds after{0};
        bool never = false; // DONE never runs (the caller must cancel)
    };
    QHash<Ipv4Address, Answer> answers;
    bool manual = false;

    struct InFlight {
        ProbeRequest request;
        Done done;
    };
    std::vector<ProbeRequest> requests; // every probe started, in order
    QMap<int, InFlight> inFlight;       // by ticket
    QList<int> cancelled;               // tickets cancelled while in flight
    QList<int> cancelledUnknown;        // tickets cancelled that were not in flight

    int probe(const ProbeRequest &request, Done done) override
    {
        requests.push_back(request);
        const int ticket = m_next++;
        inFlight.insert(ticket, InFlight{request, std::move(done)});
        const auto found = answers.constFind(request.target);
        const Answer answer = found != answers.cend() ? *found : Answer{std::nullopt, request.budget, false};
        if (!manual && !answer.never) {
            QTimer::singleShot(answer.after, &m_context,
                               [this, ticket, proof = answer.proof] { this->answer(ticket, proof); });
        }
        return ticket;
    }
    void cancel(int ticket) override
    {
        if (inFlight.remove(ticket))
            cancelled << ticket;
        else
            cancelledUnknown << ticket;
    }
    // Ends a probe in flight with PROOF; false when it is not in flight.
    bool answer(int ticket, const std::optional<ProbeProof> &proof)
    {
        if (!inFlight.contains(ticket))
            return false;
        const InFlight f = inFlight.take(ticket);
        f.done(proof);
        return true;
    }
    // The ticket of the probe in flight to TARGET, or 0.
    int ticketTo(Ipv4Address target) const
    {
        for (auto it = inFlight.cbegin(); it != inFlight.cend(); ++it)
            if (it->request.target == target)
                return it.key();
        return 0;
    }

    static ProbeProof connected(quint16 port, qint64 microseconds = 1500)
    {
        return ProbeProof{ProbeProof::Kind::TcpConnected, port, {}, microseconds};
    }
    static ProbeProof refused(quint16 port, qint64 microseconds = 1500)
    {
        return ProbeProof{ProbeProof::Kind::TcpRefused, port, {}, microseconds};
    }
    static ProbeProof neighbour(const QByteArray &mac, qint64 microseconds = 800)
    {
        return ProbeProof{ProbeProof::Kind::Neighbour, 0, mac, microseconds};
    }

private:
    int m_next = 1;
    QObject m_context; // answers still waiting die with the prober
};

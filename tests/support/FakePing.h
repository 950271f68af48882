#pragma once

#include "ping/EchoChannel.h"
#include "ping/HostResolver.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

// A resolver that answers from a table, through the event loop like the
// real one. With `manual` set, completions wait for complete().
class FakeResolver : public HostResolver {
public:
    QHash<QString, LookupResult> table;
    bool manual = false;
    bool refuseStart = false;
    QStringList asked;
    QStringList resolvedBlocking;
    QHash<Ipv4Address, QString> names;

    struct Pending {
        int id;
        QString name;
        Completion done;
    };
    QMap<int, Pending> pending;

    int lookup(const QString &name, Completion done) override
    {
        if (refuseStart)
            return 0;
        asked << name;
        const int id = m_next++;
        pending.insert(id, Pending{id, name, std::move(done)});
        if (!manual)
            QTimer::singleShot(0, &m_context, [this, id] { complete(id); });
        return id;
    }
    void abort(int id) override
    {
        if (pending.contains(id))
            abortedLookups.insert(id, pending.take(id));
    }
    QMap<int, Pending> abortedLookups;
    LookupResult resolve(const QString &name) override
    {
        resolvedBlocking << name;
        return resultFor(name);
    }
    std::optional<QString> reverse(Ipv4Address address) override
    {
        if (names.contains(address))
            return names.value(address);
        return std::nullopt;
    }
    // Delivers a pending lookup's answer.
    void complete(int id)
    {
        if (!pending.contains(id))
            return;
        const Pending p = pending.take(id);
        p.done(id, resultFor(p.name));
    }
    // Delivers an aborted lookup's answer all the same, as Qt's cache may.
    void deliverLate(int id)
    {
        const Pending p = abortedLookups.take(id);
        if (p.done)
            p.done(id, resultFor(p.name));
    }
    LookupResult resultFor(const QString &name) const
    {
        if (table.contains(name))
            return table.value(name);
        if (const auto a = Ipv4Address::fromInetAddrText(name)) // a literal answers itself, as in the system's
            return LookupResult{RESOLVE_OK, {*a}};
        return LookupResult{WSAHOST_NOT_FOUND, {}};
    }

private:
    int m_next = 1;
    QObject m_context;
};

// An echo service that answers from a table of outcomes by target address
// (a timeout where the table has none), from the event loop like the real
// one, or inside send() with `answerInside` set, as the real one does when
// the answer is back before the send returns. With `manual` set, requests
// stay in flight until the test answers them, in whatever order it likes.
class FakeEchoChannel : public EchoChannel {
public:
    QHash<Ipv4Address, EchoOutcome> outcomes;
    std::vector<EchoRequest> requests; // every request sent, in order
    std::vector<std::chrono::steady_clock::time_point> sentAt;
    std::function<void()> duringWait; // runs while a reply is awaited, just before it comes
    bool manual = false;
    bool answerInside = false;
    bool aborted = false;

    struct InFlight {
        EchoRequest request;
        Done done;
    };
    QMap<int, InFlight> inFlight; // by ticket, so in sending order
    QList<int> cancelled;

    int send(const EchoRequest &request, Done done) override
    {
        requests.push_back(request);
        sentAt.push_back(std::chrono::steady_clock::now());
        const int ticket = m_next++;
        inFlight.insert(ticket, InFlight{request, std::move(done)});
        if (answerInside) {
            if (duringWait)
                duringWait();
            answer(ticket);
        } else if (!manual)
            QTimer::singleShot(0, &m_context, [this, ticket] {
                if (!inFlight.contains(ticket))
                    return;
                if (duringWait)
                    duringWait();
                answer(ticket);
            });
        return ticket;
    }
    void cancel(int ticket) override
    {
        if (inFlight.remove(ticket))
            cancelled << ticket;
    }
    void abort() override
    {
        aborted = true;
        const auto all = std::exchange(inFlight, {});
        for (const InFlight &f : all)
            f.done(failure(IP_REQ_TIMED_OUT));
    }
    // The blocking wait answers the oldest request at once, as the table
    // says; manual requests stay until the test answers them.
    void wait(std::chrono::milliseconds max) override
    {
        if (manual || inFlight.isEmpty()) {
            std::this_thread::sleep_for(std::min(max, std::chrono::milliseconds(1)));
            return;
        }
        if (duringWait)
            duringWait();
        answer(inFlight.firstKey());
    }
    // Answers a request in flight from the table.
    void answer(int ticket)
    {
        if (!inFlight.contains(ticket))
            return;
        const InFlight f = inFlight.take(ticket);
        f.done(outcomes.value(f.request.target, failure(IP_REQ_TIMED_OUT)));
    }
    // The ticket of the request in flight to `target`, or 0.
    int ticketTo(Ipv4Address target) const
    {
        for (auto it = inFlight.cbegin(); it != inFlight.cend(); ++it)
            if (it->request.target == target)
                return it.key();
        return 0;
    }

    static EchoOutcome reply(Ipv4Address from, std::uint16_t size, std::uint32_t rtt)
    {
        EchoOutcome o;
        o.replies = 1;
        o.reply.Address = from.networkOrder();
        o.reply.DataSize = size;
        o.reply.RoundTripTime = rtt;
        o.roundTripMicroseconds = qint64(rtt) * 1000 + 250; // a quarter of a millisecond more than it shows
        return o;
    }
    static EchoOutcome failure(std::uint32_t status)
    {
        EchoOutcome o;
        o.reply.Status = status;
        return o;
    }

private:
    int m_next = 1;
    QObject m_context;
};

// Hands out one fake channel (kept by the test), or fails like a machine
// where no ICMP socket may be opened.
class FakeEchoFactory : public EchoChannelFactory {
public:
    FakeEchoChannel *channel = nullptr;
    std::optional<EchoFailure> failWith; // fail to open, as the echo service can

    std::unique_ptr<EchoChannel> open() override
    {
        if (failWith)
            throw EchoChannelError(*failWith,
                                   QStringLiteral("no ICMP socket could be opened (Operation not permitted)"));
        auto c = std::make_unique<FakeEchoChannel>();
        channel = c.get();
        return c;
    }
};

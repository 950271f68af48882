#include "discovery/MdnsDiscovery.h"

#include "discovery/MdnsMessage.h"
#include "discovery/MulticastSockets.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <chrono>

namespace {

using mdns::DnsName;
using mdns::Question;

constexpr int kSliceMs = 20;
constexpr int kMaxAddressesPerHost = 8;

QByteArray nameKey(const DnsName &name) { return name.labels.join('.').toLower(); }

// One question asked, and when.
struct Asked {
    Question question;
    qint64 atMs = 0;
    bool answered = false;
};

class Collector {
public:
    Collector(const QList<Ipv4Subnet> &interfaces, const MdnsLimits &limits)
        : m_sockets(interfaces), m_limits(limits), m_firstId(quint16(QRandomGenerator::global()->generate()))
    {
        m_clock.start();
    }

    bool run(const Deadline &deadline)
    {
        QList<Question> services;
        for (const QString &s : hostServices())
            services.append(Question{DnsName::fromDotted(s.toUtf8()), mdns::kPtr});
        if (!ask(-1, services))
            return false;
        bool repeated = false;
        while (!deadline.passed()) {
            if (!repeated && m_clock.elapsed() >= m_limits.repeatMs) {
                ask(-1, services);
                repeated = true;
            }
            if (m_clock.elapsed() >= m_limits.serviceWindowMs && !waiting())
                break;
            for (const MulticastSockets::Datagram &d : m_sockets.receive(deadline, kSliceMs))
                heard(d);
        }
        return true;
    }

    QList<DiscoveredHost> hosts() const
    {
        QList<DiscoveredHost> out;
        QSet<QByteArray> named;
        for (const auto &[instance, host] : m_hostOf.asKeyValueRange()) {
            const QByteArray key = nameKey(host);
            if (named.contains(key) || !m_addresses.contains(key) || out.size() >= m_limits.maxHosts)
                continue;
            named.insert(key);
            out.append(DiscoveredHost{FoundBy::Mdns, QString::fromUtf8(host.labels.first()),
                                      m_addresses.value(key).first(), QString()});
        }
        return out;
    }

private:
    // Whether a follow-up question is still to be answered in time.
    bool waiting() const
    {
        for (const Asked &a : m_asked)
            if (!a.answered && a.question.type != mdns::kPtr && m_clock.elapsed() - a.atMs < m_limits.followUpWaitMs)
                return true;
        return false;
    }

    bool ask(int socket, const QList<Question> &questions)
    {
        if (questions.isEmpty() || m_queries.size() >= m_limits.maxQueries)
            return false;
        const quint16 id = quint16(m_firstId + m_queries.size());
        m_queries.append(questions);
        for (const Question &q : questions)
            m_asked.append(Asked{q, m_clock.elapsed(), false});
        return m_sockets.send(socket, Ipv4Address::fromHostOrder(mdns::kGroup), mdns::kPort,
                              mdns::buildQuery(id, questions))
               > 0;
    }

    void answered(const DnsName &name, quint16 type)
    {
        for (Asked &a : m_asked)
            if (a.question.type == type && a.question.name.sameAs(name))
                a.answered = true;
    }

    void heard(const MulticastSockets::Datagram &d)
    {
        if (d.port != mdns::kPort || d.data.size() < 2)
            return;
        const quint16 id = quint16((quint8(d.data[0]) << 8) | quint8(d.data[1]));
        const int query = quint16(id - m_firstId);
        if (query >= m_queries.size())
            return;
        const auto records = mdns::parseResponse(d.data, id, m_queries[query]);
        if (!records)
            return;
        QList<Question> followUps;
        for (const mdns::Record &r : *records) {
            answered(r.name, r.type);
            if (r.type == mdns::kPtr && !m_hostOf.contains(nameKey(r.target)) && !m_pending.contains(nameKey(r.target))
                && m_pending.size() + m_hostOf.size() < m_limits.maxInstances) {
                m_pending.insert(nameKey(r.target), r.target);
            } else if (r.type == mdns::kSrv && !r.target.isEmpty() && m_hostOf.size() < m_limits.maxInstances) {
                m_pending.remove(nameKey(r.name));
                m_hostOf.insert(nameKey(r.name), r.target);
            } else if (r.type == mdns::kA && m_sockets.interfaceOf(d.socket).contains(r.address)) {
                // Only addresses on the link asked: no answer sends the sweep elsewhere.
                QList<Ipv4Address> &addresses = m_addresses[nameKey(r.name)];
                if (!addresses.contains(r.address) && addresses.size() < kMaxAddressesPerHost)
                    addresses.append(r.address);
            }
        }
        // What this answer left open is asked next, of the link it came from.
        for (const DnsName &instance : std::as_const(m_pending))
            if (!askedAbout(instance, mdns::kSrv))
                followUps.append(Question{instance, mdns::kSrv});
        for (const DnsName &host : std::as_const(m_hostOf))
            if (!m_addresses.contains(nameKey(host)) && !askedAbout(host, mdns::kA) && !containsName(followUps, host))
                followUps.append(Question{host, mdns::kA});
        while (!followUps.isEmpty()) {
            const qsizetype n = std::min<qsizetype>(followUps.size(), mdns::kMaxQuestions);
            if (!ask(d.socket, followUps.first(n)))
                break;
            followUps.remove(0, n);
        }
    }

    bool askedAbout(const DnsName &name, quint16 type) const
    {
        for (const Asked &a : m_asked)
            if (a.question.type == type && a.question.name.sameAs(name))
                return true;
        return false;
    }

    static bool containsName(const QList<Question> &questions, const DnsName &name)
    {
        for (const Question &q : questions)
            if (q.name.sameAs(name))
                return true;
        return false;
    }

    MulticastSockets m_sockets;
    MdnsLimits m_limits;
    quint16 m_firstId;
    QElapsedTimer m_clock;
    QList<QList<Question>> m_queries; // by ID, from m_firstId on
    QList<Asked> m_asked;
    QHash<QByteArray, DnsName> m_pending;              // instances without their host yet
    QHash<QByteArray, DnsName> m_hostOf;               // instance -> host
    QHash<QByteArray, QList<Ipv4Address>> m_addresses; // host -> addresses
};

} // namespace

QStringList hostServices()
{
    return {QStringLiteral("_workstation._tcp.local"), QStringLiteral("_smb._tcp.local"),
            QStringLiteral("_device-info._tcp.local"), QStringLiteral("_ssh._tcp.local"),
            QStringLiteral("_sftp-ssh._tcp.local"),    QStringLiteral("_afpovertcp._tcp.local"),
            QStringLiteral("_ipp._tcp.local"),         QStringLiteral("_printer._tcp.local")};
}

QList<DiscoveredHost> discoverMdns(const QList<Ipv4Subnet> &interfaces, const Deadline &deadline,
                                   const MdnsLimits &limits)
{
    Collector collector(interfaces, limits);
    if (!collector.run(deadline))
        return {};
    return collector.hosts();
}

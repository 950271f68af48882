#include "discovery/SystemNeighborhood.h"

#include "base/Exception.h"
#include "discovery/MdnsDiscovery.h"
#include "discovery/NetworkSnapshot.h"
#include "discovery/SmbClient.h"
#include "discovery/WsDiscovery.h"

#include <QElapsedTimer>

#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;

// A computer that lists its shares answers within a few of libsmbclient's
// two-second waits; one that does not is given up.
constexpr auto kSharesWait = 8s;
// WS-Discovery and multicast DNS are over within this, so that a scan ends
// within three seconds even where a computer is slow to give its metadata.
constexpr auto kAnnouncedWait = 2500ms;

// A computer: its shares, listed when asked for.
class ComputerFolder : public NeighborhoodFolder {
public:
    ComputerFolder(QString computer, std::stop_token stop) : m_computer(std::move(computer)), m_stop(std::move(stop)) {}
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (const QString &share : SmbClient::shares(m_computer, Deadline(kSharesWait, m_stop)))
            out.append(NetworkItem{share, share});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &) override
    {
        throw Exception(QStringLiteral("A share is not browsed further"));
    }

private:
    QString m_computer;
    std::stop_token m_stop;
};

// A workgroup: its computers, each opened by its address where the sweep
// found one and by its name otherwise.
class WorkgroupFolder : public NeighborhoodFolder {
public:
    WorkgroupFolder(QList<SnapshotComputer> computers, std::stop_token stop)
        : m_computers(std::move(computers)), m_stop(std::move(stop))
    {
    }
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (const SnapshotComputer &c : m_computers)
            out.append(NetworkItem{c.name, c.address.isEmpty() ? c.name : c.address});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) override
    {
        return std::make_unique<ComputerFolder>(item.key, m_stop);
    }

private:
    QList<SnapshotComputer> m_computers;
    std::stop_token m_stop;
};

// The workgroups of a snapshot, each opened by its place in the snapshot:
// two workgroups may show the same name (see mergeSnapshot).
class WorkgroupsFolder : public NeighborhoodFolder {
public:
    WorkgroupsFolder(NetworkSnapshot snapshot, std::stop_token stop)
        : m_snapshot(std::move(snapshot)), m_stop(std::move(stop))
    {
    }
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (qsizetype i = 0; i < m_snapshot.size(); ++i)
            out.append(NetworkItem{m_snapshot[i].name, QString::number(i)});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) override
    {
        bool number = false;
        const qsizetype index = item.key.toLongLong(&number);
        if (!number || index < 0 || index >= m_snapshot.size())
            throw Exception(QStringLiteral("No workgroup ") + item.key);
        return std::make_unique<WorkgroupFolder>(m_snapshot[index].computers, m_stop);
    }

private:
    NetworkSnapshot m_snapshot;
    std::stop_token m_stop;
};

} // namespace

SystemNeighborhood::SystemNeighborhood(std::function<QList<Ipv4Subnet>()> subnets, SweepLimits limits)
    : m_subnets(std::move(subnets)), m_limits(limits)
{
}

std::unique_ptr<NeighborhoodFolder> snapshotFolder(NetworkSnapshot snapshot, std::stop_token stop)
{
    return std::make_unique<WorkgroupsFolder>(std::move(snapshot), std::move(stop));
}

std::unique_ptr<NeighborhoodFolder> SystemNeighborhood::rootFolder(const QString &computerName)
{
    return snapshotFolder(snapshot(computerName), m_stop.get_token());
}

NetworkSnapshot SystemNeighborhood::snapshot(const QString &)
{
    QElapsedTimer clock;
    clock.start();
    const QList<Ipv4Subnet> subnets = m_subnets();
    const QList<Ipv4Address> addresses = sweepAddresses(subnets, m_limits);
    if (addresses.isEmpty())
        throw Exception(QStringLiteral("No local network"));
    // The browse list, WS-Discovery and multicast DNS are asked while the
    // sweep runs; whatever they have not told by the time the sweep is over
    // and a little later is left out.
    SmbClient::BrowseList browse;
    const std::stop_token stop = m_stop.get_token();
    const Deadline others(
        std::min<std::chrono::milliseconds>(kAnnouncedWait, std::chrono::milliseconds(m_limits.totalMs)), stop);
    auto wsd = std::async(std::launch::async, [&] { return discoverWsd(subnets, others); });
    auto mdns = std::async(std::launch::async, [&] { return discoverMdns(subnets, others); });
    const auto answers = sweepNodeStatus(addresses, m_limits, stop);
    const QList<DiscoveredHost> discovered = wsd.get() + mdns.get();
    if (stop.stop_requested())
        throw Exception(QStringLiteral("The network is no longer looked at"));
    if (!answers)
        throw Exception(QStringLiteral("No query could be sent"));
    const auto left = std::chrono::milliseconds(std::max<qint64>(0, m_limits.totalMs - clock.elapsed()));
    return mergeSnapshot(*answers, browse.take(Deadline(left, stop)), discovered);
}

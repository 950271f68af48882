#include "discovery/SystemNeighborhood.h"

#include "base/Exception.h"
#include "discovery/NetworkSnapshot.h"
#include "discovery/SmbClient.h"

#include <QElapsedTimer>

#include <chrono>

namespace {

// A computer: its shares, listed when asked for.
class ComputerFolder : public NeighborhoodFolder {
public:
    explicit ComputerFolder(QString computer) : m_computer(std::move(computer)) {}
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (const QString &share : SmbClient::instance().shares(m_computer).get())
            out.append(NetworkItem{share, share});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &) override
    {
        throw Exception(QStringLiteral("A share is not browsed further"));
    }

private:
    QString m_computer;
};

// A workgroup: its computers, each opened by its address where the sweep
// found one and by its name otherwise.
class WorkgroupFolder : public NeighborhoodFolder {
public:
    explicit WorkgroupFolder(QList<SnapshotComputer> computers) : m_computers(std::move(computers)) {}
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (const SnapshotComputer &c : m_computers)
            out.append(NetworkItem{c.name, c.address.isEmpty() ? c.name : c.address});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) override
    {
        return std::make_unique<ComputerFolder>(item.key);
    }

private:
    QList<SnapshotComputer> m_computers;
};

class WorkgroupsFolder : public NeighborhoodFolder {
public:
    explicit WorkgroupsFolder(NetworkSnapshot snapshot) : m_snapshot(std::move(snapshot)) {}
    QList<NetworkItem> items() override
    {
        QList<NetworkItem> out;
        for (const SnapshotWorkgroup &w : m_snapshot)
            out.append(NetworkItem{w.name, w.name});
        return out;
    }
    std::unique_ptr<NeighborhoodFolder> open(const NetworkItem &item) override
    {
        for (const SnapshotWorkgroup &w : m_snapshot)
            if (w.name == item.key)
                return std::make_unique<WorkgroupFolder>(w.computers);
        throw Exception(QStringLiteral("No workgroup ") + item.key);
    }

private:
    NetworkSnapshot m_snapshot;
};

} // namespace

SystemNeighborhood::SystemNeighborhood(std::function<QList<Ipv4Subnet>()> subnets, SweepLimits limits)
    : m_subnets(std::move(subnets)), m_limits(limits)
{
}

std::unique_ptr<NeighborhoodFolder> SystemNeighborhood::rootFolder(const QString &)
{
    QElapsedTimer clock;
    clock.start();
    const QList<quint32> addresses = sweepAddresses(m_subnets(), m_limits);
    if (addresses.isEmpty())
        throw Exception(QStringLiteral("No local network"));
    // The browse list is asked for while the sweep runs; whatever it has not
    // told by the time the sweep is over and a little later is left out.
    std::future<NetworkSnapshot> browse = SmbClient::instance().browseList();
    const auto answers = sweepNodeStatus(addresses, m_limits);
    if (!answers)
        throw Exception(QStringLiteral("No query could be sent"));
    const auto left = std::chrono::milliseconds(std::max<qint64>(0, m_limits.totalMs - clock.elapsed()));
    NetworkSnapshot browsed;
    if (browse.wait_for(left) == std::future_status::ready)
        browsed = browse.get();
    return std::make_unique<WorkgroupsFolder>(mergeSnapshot(*answers, browsed));
}

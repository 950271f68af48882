#include "application/Workspace.h"

#include "application/FormStorage.h"
#include "application/Monitor.h"
#include "application/NetworkScan.h"
#include "application/NetworkTreeLoader.h"
#include "application/PendingAdd.h"
#include "application/PingSweep.h"
#include "application/RemoteActions.h"
#include "application/ResultLog.h"
#include "discovery/NeighborhoodSource.h"
#include "ping/Ping.h"
#include "ping/WSocket.h"
#include "resources/ResourceList.h"

Workspace::Workspace(Platform platform, QObject *parent)
    : QObject(parent), m_platform(std::move(platform)), m_list(new ResourceList(this)),
      m_wsocket(std::make_unique<TWSocket>(m_platform.resolver)),
      m_ping(std::make_unique<TPing>(m_platform.echo, m_platform.resolver)),
      m_sweep(std::make_unique<PingSweep>(*m_list, *m_ping, m_platform.prober.get())),
      m_pendingAdd(std::make_unique<PendingAdd>(*m_list, *m_wsocket, m_platform.resolver)),
      m_remote(std::make_unique<RemoteActions>(m_platform.remote)),
      m_treeLoader(std::make_unique<NetworkTreeLoader>(m_platform.neighborhood, m_platform.computerName)),
      m_monitor(std::make_unique<Monitor>(*m_sweep, *m_list)), m_resultLog(std::make_unique<ResultLog>())
{
    connect(m_sweep.get(), &PingSweep::rowFinished, this, [this](int row, const PingResult &result) {
        if (!m_resultLog->isOpen() || result.outcome == PingOutcome::Aborted || row < 0 || row >= m_list->count())
            return;
        if (const auto failure = m_resultLog->append(m_list->row(row))) {
            m_resultLog->close();
            emit resultLogFailed(*failure);
        }
    });
    m_wsocket->OnDnsLookupDone = [this](TWSocket *sender, std::uint16_t error) {
        m_pendingAdd->lookupDone(error, sender->DnsResultList());
    };
    setEchoSettings(m_echoSettings);
}

Workspace::~Workspace()
{
    abandonBackgroundWork();
    m_monitor->stop();
    m_sweep->abort();
}

void Workspace::setEchoSettings(const EchoSettings &settings)
{
    m_echoSettings = settings;
    m_ping->setSettings(settings);
    m_sweep->setParallel(settings.parallel);
    m_sweep->setProbePorts(settings.probePorts);
    m_monitor->setInterval(std::chrono::seconds(settings.monitorIntervalSeconds));
}

std::optional<QString> Workspace::setResultLog(const QString &path)
{
    if (path.isEmpty()) {
        m_resultLog->close();
        return std::nullopt;
    }
    if (path == m_resultLog->path() && m_resultLog->isOpen())
        return std::nullopt;
    auto failure = m_resultLog->open(path);
    if (failure)
        m_resultLog->close();
    return failure;
}

QString Workspace::resultLogPath() const { return m_resultLog->isOpen() ? m_resultLog->path() : QString(); }

bool Workspace::dns() const { return textToBool(m_dns); }
void Workspace::setDns(bool lookUp) { m_dns = boolToText(lookUp); }

QString Workspace::openSession(const QString &path, bool rememberAsLast)
{
    QString notReadCompletely = m_session.open(path, *m_list, rememberAsLast);
    emit message(QString::number(m_list->count()) + QStringLiteral(" resources loaded"));
    return notReadCompletely;
}

bool Workspace::startScan()
{
    if (m_scanning)
        return false;
    m_scanning = true;
    emit message(QStringLiteral("Scanning network..."));
    emit scanStarted();
    struct Walked {
        NetworkSnapshot snapshot;
        std::exception_ptr failure;
    };
    m_background.run(
        [source = m_platform.neighborhood, computer = m_platform.computerName](std::stop_token) {
            Walked out;
            try {
                out.snapshot = walkNetwork([&] { return source->snapshot(computer); });
            } catch (...) {
                out.failure = std::current_exception();
            }
            return out;
        },
        [this](Walked walked) {
            m_scanning = false;
            addNeighborhood(*m_list, walked.snapshot);
            // The count comes first, also when the walk failed.
            emit message(QString::number(m_list->count()) + QStringLiteral(" resources in list"));
            emit scanFinished(walked.failure);
        });
    return true;
}

void Workspace::abandonBackgroundWork()
{
    if (m_platform.neighborhood)
        m_platform.neighborhood->abandon();
    m_background.stop();
}

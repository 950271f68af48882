#pragma once

#include "application/SessionState.h"
#include "base/Background.h"
#include "ping/EchoSettings.h"

#include <QObject>
#include <QString>

#include <exception>
#include <memory>
#include <optional>

class EchoChannelFactory;
class HostProber;
class Monitor;
class HostResolver;
class NeighborhoodSource;
class NetworkTreeLoader;
class PendingAdd;
class PingSweep;
class RemoteActions;
class ResultLog;
class RemoteTransport;
class ResourceList;
class TPing;
class TWSocket;

// What the program needs from the system, handed to the core in one piece;
// tests and other front ends put fakes in its place.
struct Platform {
    HostResolver &resolver;
    EchoChannelFactory &echo;
    // The network the scan and the tree look at.
    std::shared_ptr<NeighborhoodSource> neighborhood;
    // The network of the remote actions (messages, clocks).
    std::shared_ptr<RemoteTransport> remote;
    // This computer's name on the network, as the tree and the scan start
    // from it.
    QString computerName;
    // Asks a host whose echo got no answer in other ways; none: no probes.
    std::shared_ptr<HostProber> prober = nullptr;
};

// The application core: one session of the program, without a window. It
// owns the resource list and its session file, the echo settings, the ping
// sweep, the add that waits for its lookup, the network scan, the network
// tree's loader and the remote actions, and wires them to one another. The
// window holds one and shows its state; the command line drives one; tests
// drive one with fakes.
class Workspace : public QObject {
    Q_OBJECT
public:
    explicit Workspace(Platform platform, QObject *parent = nullptr);
    ~Workspace() override;

    ResourceList &list() const { return *m_list; }
    SessionState &session() { return m_session; }
    const SessionState &session() const { return m_session; }
    TPing &ping() const { return *m_ping; }
    TWSocket &wsocket() const { return *m_wsocket; }
    PingSweep &sweep() const { return *m_sweep; }
    PendingAdd &pendingAdd() const { return *m_pendingAdd; }
    RemoteActions &remote() const { return *m_remote; }
    NetworkTreeLoader &treeLoader() const { return *m_treeLoader; }
    Monitor &monitor() const { return *m_monitor; }

    // The echo settings apply from the next echo request and the next row
    // a sweep starts.
    const EchoSettings &echoSettings() const { return m_echoSettings; }
    void setEchoSettings(const EchoSettings &settings);

    // The stored value "DNS" (look a host name up before adding it), kept
    // as the text stored: a text that is no boolean is stored back as it
    // was and raises the conversion error where it is read.
    const QString &dnsText() const { return m_dns; }
    void setDnsText(const QString &text) { m_dns = text; }
    bool dns() const; // raises for a text that is no boolean
    void setDns(bool lookUp);

    // Opens a session file into the list; what the user must be told about
    // a file read only in part comes back (see SessionState::open).
    QString openSession(const QString &path, bool rememberAsLast);

    // The network scan: the walk runs in the background; the rows are
    // added when it is over. Returns false while a scan runs.
    bool startScan();
    bool scanning() const { return m_scanning; }

    // The result log: while a file is set, every outcome of every sweep
    // (the user's and the monitor's rounds) is appended to it as a JSON
    // Lines line. An empty PATH closes it. The reason in words when the
    // file cannot be opened; the log is closed then.
    std::optional<QString> setResultLog(const QString &path);
    // The file being appended to; empty when none.
    QString resultLogPath() const;

    // Ends every background wait at once and for good: the program ends.
    void abandonBackgroundWork();

signals:
    // Status panel 6: progress texts and counts of the core's commands.
    void message(const QString &text);
    void scanStarted();
    // The scan is over; FAILURE is set when the network could not be
    // looked at ("Cannot find network neiborhood"), after the count was
    // shown.
    void scanFinished(std::exception_ptr failure);
    // A line could not be appended to the result log (WHY, in words): the
    // log is closed, so that a full disk is told once, not for every row.
    void resultLogFailed(const QString &why);

private:
    Platform m_platform;
    ResourceList *m_list;
    SessionState m_session;
    std::unique_ptr<TWSocket> m_wsocket;
    std::unique_ptr<TPing> m_ping;
    std::unique_ptr<PingSweep> m_sweep;
    std::unique_ptr<PendingAdd> m_pendingAdd;
    std::unique_ptr<RemoteActions> m_remote;
    std::unique_ptr<NetworkTreeLoader> m_treeLoader;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<ResultLog> m_resultLog;
    EchoSettings m_echoSettings;
    QString m_dns = QStringLiteral("False");
    bool m_scanning = false;
    Background m_background{this};
};

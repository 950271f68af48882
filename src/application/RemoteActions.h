#pragma once

#include "base/Background.h"
#include "base/Deadline.h"
#include "remote/MachineFinder.h"
#include "remote/RemoteTimeOfDay.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

// The network side of the two remote commands; tests put a fake in its
// place. Both calls block, at most until DEADLINE. HINTS are addresses the
// list already has for the machine.
class RemoteTransport {
public:
    virtual ~RemoteTransport() = default;
    virtual bool SendMailslotMessage(const QString &machine, const QList<Ipv4Address> &hints, const QString &text,
                                     const Deadline &deadline) = 0;
    virtual quint32 NetRemoteTOD(const QString &server, const QList<Ipv4Address> &hints, TIME_OF_DAY_INFO &info,
                                 const Deadline &deadline) = 0;
};

// The real network, sending as LOCAL's machine name on its subnets; by
// default as this machine, on the subnets it has at the time of each call.
class NetworkTransport : public RemoteTransport {
public:
    NetworkTransport() = default;
    explicit NetworkTransport(LocalNetbios local) : m_local(std::move(local)) {}
    bool SendMailslotMessage(const QString &machine, const QList<Ipv4Address> &hints, const QString &text,
                             const Deadline &deadline) override;
    quint32 NetRemoteTOD(const QString &server, const QList<Ipv4Address> &hints, TIME_OF_DAY_INFO &info,
                         const Deadline &deadline) override;

private:
    LocalNetbios local() const;

    std::optional<LocalNetbios> m_local;
};

// This machine's NetBIOS name (its host name's first label) and the
// broadcast addresses of its IPv4 subnets that are up.
LocalNetbios systemLocalNetbios();

struct TimeOfDayAnswer {
    quint32 status = ERROR_BAD_NETPATH;
    TIME_OF_DAY_INFO info;
};

// Runs the remote commands' network waits in the background, so that the
// window stays live, and one at a time, so that answers cannot be mixed up:
// while one waits, another is refused.
class RemoteActions : public QObject {
    Q_OBJECT
public:
    // How long each command waits for the network at most, all included.
    static constexpr std::chrono::milliseconds kMessageWait{3000};
    static constexpr std::chrono::milliseconds kTimeWait{4000};

    explicit RemoteActions(std::shared_ptr<RemoteTransport> transport, QObject *parent = nullptr);
    // Cuts a wait in progress short; DONE is not run.
    ~RemoteActions() override;

    bool busy() const { return m_busy; }
    // The machine of the action that waits, empty when none does.
    QString waitingFor() const { return m_machine; }

    // Both return false, and start nothing, while another action waits.
    // DONE runs on this object's thread once the network has answered or
    // the wait has ended. ADDRESSES is the row's address text.
    bool sendMessage(const QString &machine, const QString &addresses, const QString &text,
                     std::function<void(bool sent)> done = {});
    bool readTime(const QString &server, const QString &addresses, std::function<void(const TimeOfDayAnswer &)> done);

private:
    bool start(const QString &machine, std::function<std::function<void()>(std::stop_token)> work);

    std::shared_ptr<RemoteTransport> m_transport;
    QString m_machine;
    bool m_busy = false;
    Background m_background{this};
};

// The dotted addresses in a row's address text ("10.0.0.1,10.0.0.2").
QList<Ipv4Address> addressHints(const QString &addresses);

#include "application/RemoteActions.h"

#include "application/LocalSubnets.h"
#include "remote/Mailslot.h"

#include <QMetaObject>

bool NetworkTransport::SendMailslotMessage(const QString &machine, const QList<Ipv4Address> &hints, const QString &text,
                                           const Deadline &deadline)
{
    return ::SendMailslotMessage(machine, kMessengerSlot, text, MachineFinder(local(), deadline, hints));
}

quint32 NetworkTransport::NetRemoteTOD(const QString &server, const QList<Ipv4Address> &hints, TIME_OF_DAY_INFO &info,
                                       const Deadline &deadline)
{
    return ::NetRemoteTOD(server, info, MachineFinder(local(), deadline, hints));
}

LocalNetbios NetworkTransport::local() const { return m_local ? *m_local : systemLocalNetbios(); }

LocalNetbios systemLocalNetbios()
{
    LocalNetbios local;
    local.machineName = localComputerName().toLatin1();
    local.subnets = localSubnets();
    return local;
}

RemoteActions::RemoteActions(std::shared_ptr<RemoteTransport> transport, QObject *parent)
    : QObject(parent), m_transport(std::move(transport))
{
}

RemoteActions::~RemoteActions() = default;

bool RemoteActions::start(const QString &machine, std::function<std::function<void()>(std::stop_token)> work)
{
    if (busy())
        return false;
    m_busy = true;
    m_machine = machine;
    // WORK runs in the background and returns what is left to do here.
    m_background.run([work = std::move(work)](std::stop_token stop) { return work(stop); },
                     [this](std::function<void()> finish) {
                         m_busy = false;
                         m_machine.clear();
                         finish();
                     });
    return true;
}

bool RemoteActions::sendMessage(const QString &machine, const QString &addresses, const QString &text,
                                std::function<void(bool)> done)
{
    const QList<Ipv4Address> hints = addressHints(addresses);
    return start(machine,
                 [transport = m_transport, machine, hints, text, done = std::move(done)](std::stop_token stop) {
                     bool sent = false;
                     try {
                         sent = transport->SendMailslotMessage(machine, hints, text, Deadline(kMessageWait, stop));
                     } catch (...) {
                         sent = false; // reported like any message that did not go out: not at all
                     }
                     return std::function<void()>([done, sent] {
                         if (done)
                             done(sent);
                     });
                 });
}

bool RemoteActions::readTime(const QString &server, const QString &addresses,
                             std::function<void(const TimeOfDayAnswer &)> done)
{
    const QList<Ipv4Address> hints = addressHints(addresses);
    return start(server, [transport = m_transport, server, hints, done = std::move(done)](std::stop_token stop) {
        TimeOfDayAnswer answer;
        try {
            answer.status = transport->NetRemoteTOD(server, hints, answer.info, Deadline(kTimeWait, stop));
        } catch (...) {
            answer.status = ERROR_UNEXP_NET_ERR;
        }
        return std::function<void()>([done, answer] { done(answer); });
    });
}

QList<Ipv4Address> addressHints(const QString &addresses)
{
    QList<Ipv4Address> out;
    for (const QString &part : addresses.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (const auto a = Ipv4Address::fromText(part.trimmed()))
            out.append(*a);
    }
    return out;
}

#pragma once

#include "base/Exception.h"
#include "ping/HostResolver.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class ESocketException : public Exception {
public:
    using Exception::Exception;
};

// Forward lookup of every address of a name, for the add command.
class TWSocket {
public:
    explicit TWSocket(HostResolver &resolver);
    ~TWSocket();
    TWSocket(const TWSocket &) = delete;
    TWSocket &operator=(const TWSocket &) = delete;

    // A dotted address completes before this returns; an empty name raises
    // "DNS lookup: invalid host name." (or reports 10022 through OnError).
    void DnsLookup(const QString &hostName);
    void CancelDnsLookup();
    QString DnsResult() const { return m_dnsResult; }
    QStringList DnsResultList() const { return m_dnsResultList; }

    std::function<void(TWSocket *, std::uint16_t error)> OnDnsLookupDone;
    std::function<void(TWSocket *)> OnError;

private:
    void lookupDone(std::uint16_t error);
    void reportError(const QString &message);

    PendingLookup m_lookup;
    QString m_dnsResult;
    QStringList m_dnsResultList;
};

// The name of an address, blocking; nullopt when it has none. Raises
// "WSocketGetHostByAddr: Invalid address." for an empty or overlong text.
std::optional<QString> WSocketGetHostByAddr(HostResolver &resolver, const QString &address);

#pragma once

#include "app/Exception.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class HostResolver;

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
    void lookupDone(int id, int error, const QList<std::uint32_t> &addresses);
    void reportError(const QString &message);

    HostResolver &m_resolver;
    int m_lookupHandle = 0;
    QString m_dnsResult;
    QStringList m_dnsResultList;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// The name of an address, blocking; nullopt when it has none. Raises
// "WSocketGetHostByAddr: Invalid address." for an empty or overlong text.
std::optional<QString> WSocketGetHostByAddr(HostResolver &resolver, const QString &address);

#pragma once

#include "base/Ipv4.h"
#include "base/Liveness.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// Resolver error codes, as the rest of the program knows them.
enum ResolverError : int {
    RESOLVE_OK = 0,
    WSAEINTR_CANCELLED = 10004, // the lookup was cancelled
    WSAEINVAL_NAME = 10022,     // empty host name
    WSAHOST_NOT_FOUND = 11001,  // a name server says the name does not exist
    WSATRY_AGAIN = 11002,       // no answer (no server reached, server failure)
    WSANO_RECOVERY = 11003,     // unrecoverable resolver failure
    WSANO_DATA = 11004,         // the name exists but has no IPv4 address
};

struct LookupResult {
    int error = RESOLVE_OK;
    QList<Ipv4Address> addresses; // in the resolver's order
};

// Host-name resolution. Forward lookups complete through the event loop of
// the thread that asked, never before lookup() returns.
class HostResolver {
public:
    using Completion = std::function<void(int id, const LookupResult &result)>;
    virtual ~HostResolver() = default;
    // Returns a request id (> 0), or 0 when the lookup cannot be started.
    virtual int lookup(const QString &name, Completion done) = 0;
    // After abort the completion of that id is not delivered.
    virtual void abort(int id) = 0;
    // Blocking forward and reverse lookups.
    virtual LookupResult resolve(const QString &name) = 0;
    virtual std::optional<QString> reverse(Ipv4Address address) = 0;
};

// The system's resolver: Qt's asynchronous host lookup, getaddrinfo and
// getnameinfo. An IPv4 literal is answered by itself, without a query.
class SystemResolver : public HostResolver {
public:
    SystemResolver();
    ~SystemResolver() override;
    int lookup(const QString &name, Completion done) override;
    void abort(int id) override;
    LookupResult resolve(const QString &name) override;
    std::optional<QString> reverse(Ipv4Address address) override;

private:
    struct Private;
    std::unique_ptr<Private> m_d;
};

// A component's one lookup in flight. Starting another replaces it without
// a report; a completion that is no longer awaited (replaced, dropped, or
// delivered after the owner went away) is ignored.
class PendingLookup {
public:
    explicit PendingLookup(HostResolver &resolver) : m_resolver(resolver) {}
    ~PendingLookup() { drop(); }
    PendingLookup(const PendingLookup &) = delete;
    PendingLookup &operator=(const PendingLookup &) = delete;

    bool pending() const { return m_id != 0; }
    // Forgets the pending lookup, if any, without a report.
    void drop();
    // Returns false when the resolver cannot start the lookup.
    bool start(const QString &name, std::function<void(const LookupResult &)> done);

private:
    HostResolver &m_resolver;
    int m_id = 0;
    Liveness m_liveness;
};

// The address a text names without a lookup: the forms
// Ipv4Address::fromInetAddrText reads, but for 255.255.255.255. The echo
// service has always read addresses with inet_addr, which cannot tell that
// one from its failure: it goes to the resolver, which answers it itself,
// after the event loop like any lookup (and the echo refuses it).
std::optional<Ipv4Address> addressWithoutLookup(const QString &text);

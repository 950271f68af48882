#include "application/PendingAdd.h"

#include "base/NetworkText.h"

#include "ping/HostResolver.h"
#include "ping/WSocket.h"
#include "resources/ResourceList.h"
#include "resources/ResourceRow.h"

QString JoinStrings(const QStringList &list, const QString &separator) { return list.join(separator); }

bool AddOkEnabled(const QString &workstation, const QString &address, bool lookUp)
{
    return lookUp ? !(workstation + address).isEmpty() : !workstation.isEmpty();
}

PendingAdd::PendingAdd(ResourceList &list, TWSocket &socket, HostResolver &resolver)
    : m_list(list), m_socket(socket), m_resolver(resolver)
{
}

void PendingAdd::start(const AddEntry &entry)
{
    QString hostName = entry.workstation;
    // The address's own name wins over the typed one; the lookup blocks
    // until the resolver answers.
    if (!entry.address.isEmpty()) {
        // The name comes from the network (a name server's answer), not
        // from the user: it is cleaned like every other such name.
        if (const std::optional<QString> name = WSocketGetHostByAddr(m_resolver, entry.address))
            hostName = cleanNetworkText(*name);
    }
    if (hostName.isEmpty())
        return; // neither a name nor an address with one: nothing to add
    if (!entry.lookUp) {
        appendRow(hostName, QString(), entry.workgroup);
        return;
    }
    // These texts now belong to the lookup about to start, which replaces
    // any waiting one.
    m_hostName = hostName;
    m_address = entry.address;
    m_workgroup = entry.workgroup;
    m_pending = true;
    try {
        // A dotted address completes inside this call, with no addresses.
        m_socket.DnsLookup(hostName);
    } catch (...) {
        m_pending = false;
        throw;
    }
}

void PendingAdd::lookupDone(std::uint16_t error, const QStringList &addresses)
{
    if (!m_pending)
        return; // a cancellation report, or nothing of ours
    m_pending = false;
    if (error != 0)
        return;
    m_address = JoinStrings(addresses, QStringLiteral(","));
    appendRow(m_hostName, m_address, m_workgroup);
}

void PendingAdd::appendRow(const QString &hostName, const QString &address, const QString &workgroup)
{
    // Appended at the end even while the list is sorted, ticked, not tested.
    ResourceRow row = ResourceRow::created(hostName, address, workgroup);
    row.imageIndex = imgNotTested;
    row.checked = true;
    m_list.append(std::move(row));
}

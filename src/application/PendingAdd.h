#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class HostResolver;
class ResourceList;
class TWSocket;

// The list's entries in order, with `separator` between neighbours and none
// at the end; empty for an empty list.
QString JoinStrings(const QStringList &list, const QString &separator);

// What the user gave the add dialog: the texts exactly as typed (untrimmed,
// the address read even while its box is disabled) and the lookup box.
struct AddEntry {
    QString workstation;
    QString address;
    QString workgroup;
    bool lookUp = false;
    bool operator==(const AddEntry &) const = default;
};

// The add dialog's OK rule: with the lookup box ticked a name or an address
// will do, without it only a name. Blanks count as text; the workgroup
// never matters.
bool AddOkEnabled(const QString &workstation, const QString &address, bool lookUp);

// The add command once its dialog has been answered: finds the name, looks
// up its addresses and appends the row.
//
// The texts of an add that waits for its lookup are kept here and nowhere
// else, so nothing the sweep does reaches them. One add at a time waits:
// a second add that starts a lookup replaces the waiting one, whose lookup
// the socket component cancels without a report, so the row that arrives
// is wholly the second add's. An add without a lookup completes at once and
// leaves a waiting one alone.
class PendingAdd {
public:
    PendingAdd(ResourceList &list, TWSocket &socket, HostResolver &resolver);

    // Takes the user's texts. Throws ESocketException when the address text
    // is unusable (over 256 characters) or the lookup cannot start; nothing
    // is added then.
    void start(const AddEntry &entry);
    // The socket component's lookup finished: `addresses` is what it found.
    // A failed lookup adds nothing and reports nothing.
    void lookupDone(std::uint16_t error, const QStringList &addresses);

    // An add waits for its lookup.
    bool pending() const { return m_pending; }

private:
    void appendRow(const QString &hostName, const QString &address, const QString &workgroup);

    ResourceList &m_list;
    TWSocket &m_socket;
    HostResolver &m_resolver;
    QString m_hostName;
    QString m_address;
    QString m_workgroup;
    bool m_pending = false;
};

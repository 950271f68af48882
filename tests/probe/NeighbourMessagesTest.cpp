#include "probe/NeighbourMessages.h"
#include "probe/NeighbourCaptures.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

NeighbourEntry entry(const char *address, quint16 state, const char *macHex, bool removed = false)
{
    NeighbourEntry e;
    e.address = ip(address);
    e.interfaceIndex = 2;
    e.state = state;
    e.linkAddress = QByteArray::fromHex(macHex);
    e.removed = removed;
    return e;
}

template <typename T>
void put(QByteArray &bytes, qsizetype pos, T value)
{
    qToUnaligned(value, bytes.data() + pos);
}

QByteArray attribute(quint16 type, const QByteArray &value, qsizetype declaredLength = -1)
{
    QByteArray a(4, '\0');
    put<quint16>(a, 0, quint16(declaredLength >= 0 ? declaredLength : 4 + value.size()));
    put<quint16>(a, 2, type);
    a += value;
    while (a.size() % 4)
        a += '\0';
    return a;
}

// A neighbour message as the kernel writes one, with lengths the test may
// set wrong on purpose.
QByteArray message(quint16 type, quint8 family, quint16 state, const QByteArray &attributes,
                   qsizetype declaredLength = -1, quint16 flags = 0)
{
    QByteArray m(16 + 12, '\0');
    put<quint16>(m, 4, type);
    put<quint16>(m, 6, flags);
    m[16] = char(family);
    put<qint32>(m, 20, 2);
    put<quint16>(m, 24, state);
    m += attributes;
    put<quint32>(m, 0, quint32(declaredLength >= 0 ? declaredLength : m.size()));
    return m;
}

QByteArray address(const char *dotted) { return QByteArray::fromHex(QByteArray(dotted)); }

} // namespace

TEST(NeighbourMessages, ReadsWhatTheKernelSent)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QList<NeighbourEntry> entries;
        bool done;
    };
    const Case cases[] = {
        {"a dump",
         NeighbourCaptures::dump,
         {entry("10.214.1.2", NUD_REACHABLE, "02005e100002"), entry("10.214.1.9", NUD_PERMANENT, "02005e100009"),
          entry("10.214.1.3", NUD_INCOMPLETE, "")},
         true},
        {"a failed entry announced", NeighbourCaptures::failed, {entry("10.214.1.2", NUD_FAILED, "")}, false},
        {"a removal announced", NeighbourCaptures::deleted, {entry("10.214.1.2", NUD_FAILED, "", true)}, false},
        {"announcements read together",
         NeighbourCaptures::failed + NeighbourCaptures::deleted,
         {entry("10.214.1.2", NUD_FAILED, ""), entry("10.214.1.2", NUD_FAILED, "", true)},
         false},
    };
    for (const Case &c : cases) {
        const NeighbourMessages m = parseNeighbourMessages(c.bytes);
        EXPECT_EQ(m.entries, c.entries) << c.name;
        EXPECT_EQ(m.dumpDone, c.done) << c.name;
        EXPECT_FALSE(m.dumpInterrupted) << c.name;
        EXPECT_EQ(m.error, 0) << c.name;
        EXPECT_FALSE(m.malformed) << c.name;
    }
}

// However a read is cut, every entry it yields is one of the whole
// messages before the cut, and a cut inside a message is noticed.
TEST(NeighbourMessages, TruncatedAtEveryLength)
{
    const QByteArray &dump = NeighbourCaptures::dump;
    const QList<NeighbourEntry> all = parseNeighbourMessages(dump).entries;
    const qsizetype ends[] = {0x4c, 0x98, 0xd8, 0xec}; // where each message of the capture ends
    for (qsizetype n = 0; n < dump.size(); ++n) {
        const NeighbourMessages m = parseNeighbourMessages(QByteArrayView(dump).first(n));
        const qsizetype whole = std::count_if(std::begin(ends), std::end(ends), [&](qsizetype e) { return e <= n; });
        ASSERT_EQ(m.entries, all.first(std::min<qsizetype>(whole, all.size()))) << n << " bytes";
        EXPECT_EQ(m.malformed, std::find(std::begin(ends), std::end(ends), n) == std::end(ends) && n != 0)
            << n << " bytes";
        EXPECT_FALSE(m.dumpDone) << n << " bytes";
    }
}

TEST(NeighbourMessages, HostileAndOddMessages)
{
    const QByteArray dst = attribute(NDA_DST, address("0ad50105"));
    const QByteArray mac = attribute(NDA_LLADDR, address("02005e100005"));
    const NeighbourEntry fine = entry("10.213.1.5", NUD_REACHABLE, "02005e100005");
    QByteArray errorMessage(20, '\0');
    put<quint32>(errorMessage, 0, 20);
    put<quint16>(errorMessage, 4, NLMSG_ERROR);
    put<qint32>(errorMessage, 16, -EBUSY);

    struct Case {
        const char *name;
        QByteArray bytes;
        QList<NeighbourEntry> entries;
        bool malformed;
        int error = 0;
        bool interrupted = false;
    };
    const Case cases[] = {
        {"well formed", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac), {fine}, false},
        {"the last attribute without its padding",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, mac + dst.left(8)),
         {fine},
         false},
        {"message length zero", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac, 0), {}, true},
        {"message length past the read", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac, 4096), {}, true},
        {"message length 4 GiB", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac, 0xFFFFFFFF), {}, true},
        {"body shorter than ndmsg", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, {}, 16 + 8), {}, true},
        {"attribute length zero",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, attribute(NDA_DST, address("0ad50105"), 0)),
         {},
         true},
        {"attribute length past the message",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, attribute(NDA_LLADDR, address("02005e100005"), 200) + dst),
         {},
         true},
        {"an address of five bytes",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, attribute(NDA_DST, address("0ad5010501")) + mac),
         {},
         false},
        {"no address", message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, mac), {}, false},
        {"an IPv6 entry",
         message(RTM_NEWNEIGH, AF_INET6, NUD_REACHABLE, attribute(NDA_DST, QByteArray(16, '\x01')) + mac),
         {},
         false},
        {"a message of another kind", message(RTM_NEWROUTE, AF_INET, NUD_REACHABLE, dst + mac), {}, false},
        {"a good message before a bad one",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac) + message(RTM_NEWNEIGH, AF_INET, 0, dst, 9000),
         {fine},
         true},
        {"stray bytes after the last message",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac) + QByteArray(7, '\xff'),
         {fine},
         true},
        {"an error answer", errorMessage, {}, false, EBUSY},
        {"an error answer without its code", errorMessage.left(16).replace(0, 1, "\x10"), {}, true},
        {"a dump the kernel interrupted",
         message(RTM_NEWNEIGH, AF_INET, NUD_REACHABLE, dst + mac, -1, NLM_F_MULTI | NLM_F_DUMP_INTR),
         {fine},
         false,
         0,
         true},
    };
    for (const Case &c : cases) {
        const NeighbourMessages m = parseNeighbourMessages(c.bytes);
        EXPECT_EQ(m.entries, c.entries) << c.name;
        EXPECT_EQ(m.malformed, c.malformed) << c.name;
        EXPECT_EQ(m.error, c.error) << c.name;
        EXPECT_EQ(m.dumpInterrupted, c.interrupted) << c.name;
    }
}

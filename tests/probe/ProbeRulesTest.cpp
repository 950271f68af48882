#include "probe/ProbeRules.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <linux/neighbour.h>

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

const QByteArray kMac = QByteArray::fromHex("02005e100002");

} // namespace

TEST(ProbeRules, WhichConnectEndsProveTheHostUp)
{
    using Kind = ProbeProof::Kind;
    const Ipv4Address target = ip("10.213.1.10");
    struct Case {
        const char *name;
        ConnectEnd end;
        std::optional<Kind> expected;
    };
    const Case cases[] = {
        {"connected", {0, {}}, Kind::TcpConnected},
        {"reset by the host", {ECONNREFUSED, {}}, Kind::TcpRefused},
        {"port unreachable from the host itself", {ECONNREFUSED, ip("10.213.1.10")}, Kind::TcpRefused},
        {"prohibited by the host's own firewall", {EHOSTUNREACH, ip("10.213.1.10")}, Kind::TcpRefused},
        {"port unreachable from a router on its behalf", {ECONNREFUSED, ip("10.213.1.1")}, std::nullopt},
        {"host unreachable from a router", {EHOSTUNREACH, ip("10.213.1.1")}, std::nullopt},
        {"net unreachable from a router", {ENETUNREACH, ip("10.213.1.1")}, std::nullopt},
        {"our own ARP gave up", {EHOSTUNREACH, ip("10.213.1.2")}, std::nullopt},
        {"no route here", {ENETUNREACH, {}}, std::nullopt},
        {"prohibit route here", {EACCES, {}}, std::nullopt},
        {"local firewall", {EPERM, {}}, std::nullopt},
        {"timed out", {ETIMEDOUT, {}}, std::nullopt},
        {"host down", {EHOSTDOWN, {}}, std::nullopt},
        {"closed before an answer", {ECONNRESET, {}}, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(connectProof(c.end, target), c.expected) << c.name;
}

TEST(ProbeRules, WhichNeighbourEntriesShowAnAnswerToArp)
{
    struct Case {
        const char *name;
        quint16 state;
        QByteArray mac;
        bool removed;
        bool proves;
    };
    const Case cases[] = {
        {"reachable", NUD_REACHABLE, kMac, false, true},
        {"stale", NUD_STALE, kMac, false, true},
        {"delay", NUD_DELAY, kMac, false, true},
        {"probe", NUD_PROBE, kMac, false, true},
        {"being resolved", NUD_INCOMPLETE, {}, false, false},
        {"failed, with the address it had", NUD_FAILED, kMac, false, false},
        {"written by hand", NUD_PERMANENT, kMac, false, false},
        {"link without ARP", NUD_NOARP, kMac, false, false},
        {"no state at all", NUD_NONE, kMac, false, false},
        {"reachable but removed", NUD_REACHABLE, kMac, true, false},
        {"reachable without an address", NUD_REACHABLE, {}, false, false},
        {"reachable with a short address", NUD_REACHABLE, kMac.left(5), false, false},
        {"reachable with a long address", NUD_REACHABLE, kMac + '\x01', false, false},
        {"reachable with an all-zero address", NUD_REACHABLE, QByteArray(6, '\0'), false, false},
    };
    for (const Case &c : cases) {
        NeighbourEntry entry;
        entry.address = ip("10.213.1.13");
        entry.interfaceIndex = 2;
        entry.state = c.state;
        entry.linkAddress = c.mac;
        entry.removed = c.removed;
        const std::optional<QByteArray> proof = neighbourProof(entry);
        EXPECT_EQ(proof.has_value(), c.proves) << c.name;
        if (proof) {
            EXPECT_EQ(*proof, c.mac) << c.name;
        }
    }
}

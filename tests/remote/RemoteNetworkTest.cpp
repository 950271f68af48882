// The remote actions against real Samba servers in the namespaces that
// remotenet.sh builds; see that script for the network.

#include "application/RemoteActions.h"
#include "gui/MainWindow.h"
#include "remote/AnsiText.h"
#include "remote/FakeRemotePrompts.h"
#include "remote/FakeRemoteTransport.h"
#include "remote/Mailslot.h"
#include "remote/NTRemoteDateTime.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QProcess>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr Ipv4Address ip(int a, int b, int c, int d)
{
    return Ipv4Address::fromHostOrder(quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | quint32(d));
}
const Ipv4Address kDefsrv = ip(10, 211, 1, 10), kNysrv = ip(10, 211, 1, 11), kInsrv = ip(10, 211, 1, 12);
const LocalNetbios kLocal{"LREMCLIENT", {{ip(10, 211, 1, 2), 24}}};

#define REQUIRE_REMOTE_NETWORK()                                                                                       \
    do {                                                                                                               \
        if (qgetenv("LREM_TESTNET") != "1")                                                                            \
            GTEST_SKIP() << "runs only inside the test network (tests/remote/remotenet.sh)";                           \
    } while (0)

// How far the kept answer is from the server's wall clock now, in seconds.
qint64 secondsOff(const TNTRemoteDateTime &clock, const QTimeZone &zone)
{
    const TNTRemoteDateTime::Fields &f = clock.fields();
    const QDateTime kept(QDate(int(f.year), int(f.month), int(f.day)), QTime(int(f.hours), int(f.mins), int(f.secs)),
                         Qt::UTC);
    const QDateTime now = QDateTime::currentDateTimeUtc().toTimeZone(zone);
    return qAbs(kept.secsTo(QDateTime(now.date(), now.time(), Qt::UTC)));
}

// What reaches a server's datagram port from the client, dissected by
// tshark as it arrives: one row of FIELDS per datagram. Probes to the
// discard port show that the capture has started, and still works.
class Capture {
public:
    Capture(const char *server, Ipv4Address address, const QStringList &fields) : m_probeTo{address, 9}
    {
        QStringList args{"netns",       "exec",       QString::fromLocal8Bit(qgetenv(QByteArray("LREM_NS_") + server)),
                         "tshark",      "-i",         "eth0",
                         "-l",          "-f",         "src host 10.211.1.2 and udp dst port (138 or 9)",
                         "-T",          "fields",     "-E",
                         "separator=|", "-E",         "occurrence=f",
                         "-e",          "udp.dstport"};
        for (const QString &f : fields)
            args << "-e" << f;
        m_tshark.start("ip", args);
        EXPECT_TRUE(probe()) << "the capture did not start";
    }
    ~Capture()
    {
        m_tshark.kill();
        m_tshark.waitForFinished(2000);
    }
    // Sends probes until one is seen, for five seconds at most.
    bool probe()
    {
        Socket s = Socket::udp(false);
        const int seen = m_probes;
        for (int i = 0; i < 50 && m_probes == seen; ++i) {
            s.sendTo(m_probeTo, "probe");
            m_tshark.waitForReadyRead(100);
            takeRows();
        }
        return m_probes > seen;
    }
    // The datagrams seen once COUNT have come, or a second passed without one.
    QList<QStringList> datagrams(int count)
    {
        while (m_rows.size() < count && m_tshark.waitForReadyRead(1000))
            takeRows();
        return m_rows;
    }

private:
    void takeRows()
    {
        m_pending += m_tshark.readAllStandardOutput();
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1)) {
            const QStringList row = QString::fromUtf8(m_pending.first(end)).split('|');
            if (row.first() == "9")
                ++m_probes;
            else
                m_rows << row.mid(1);
        }
    }

    Endpoint m_probeTo;
    QProcess m_tshark;
    QByteArray m_pending;
    QList<QStringList> m_rows;
    int m_probes = 0;
};

} // namespace

TEST(RemoteNetworkTest, MachinesAreFoundByAddressNetbiosOrTheHostsFile)
{
    REQUIRE_REMOTE_NETWORK();
    const struct {
        const char *what;
        QString machine;
        QList<Ipv4Address> hints;
        std::optional<Ipv4Address> address;
    } cases[] = {
        {"a dotted address, asked nowhere", "10.211.1.99", {}, ip(10, 211, 1, 99)},
        {"NetBIOS, asked at the row's address", "nysrv", {kNysrv}, kNysrv},
        {"NetBIOS, by broadcast", "INSRV", {}, kInsrv},
        {"NetBIOS, by broadcast after a wrong address", "DEFSRV", {kInsrv}, kDefsrv},
        {"the hosts file", "nyhost", {}, kNysrv},
        {"nowhere", "GHOST", {}, std::nullopt},
        {"nowhere, and a WINS server says so", "GHOST", {kDefsrv}, std::nullopt},
    };
    for (const auto &c : cases) {
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(MachineFinder(kLocal, Deadline(3s), c.hints).find(c.machine), c.address) << c.what;
        EXPECT_LT(t.elapsed(), 2500) << c.what;
    }
}

TEST(RemoteNetworkTest, TheClockOfEachServerIsItsLocalTime)
{
    REQUIRE_REMOTE_NETWORK();
    const QTimeZone newYork("America/New_York");
    const qint32 newYorkZone = -newYork.offsetFromUtc(QDateTime::currentDateTimeUtc()) / 60;
    const struct {
        QString machine;
        QTimeZone zone;
        qint32 zoneMinutes;
    } cases[] = {
        {"DEFSRV", QTimeZone::utc(), -1}, // SMB2: no zone, shown as UTC
        {"nysrv", newYork, newYorkZone},
        {"nyhost", newYork, newYorkZone},
        {"10.211.1.12", QTimeZone("Asia/Kolkata"), -330},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.machine.toStdString());
        TIME_OF_DAY_INFO info;
        QElapsedTimer t;
        t.start();
        ASSERT_EQ(NetRemoteTOD(c.machine, info, MachineFinder(kLocal, Deadline(4s))), NERR_Success);
        EXPECT_LT(t.elapsed(), 2000);
        EXPECT_EQ(info.tod_timezone, c.zoneMinutes);
        TNTRemoteDateTime clock;
        ASSERT_EQ(clock.GetRemoteTime(c.machine, NERR_Success, info), NERR_Success);
        EXPECT_LE(secondsOff(clock, c.zone), 2);
    }
    // Our SMB2 request, sent where SMB1 is dropped, is taken as well.
    Socket s = Socket::connectTcp(Endpoint{kDefsrv, 445}, Deadline(2s));
    ASSERT_TRUE(s.sendAll(smb::smb2NegotiateRequest(QByteArray(16, 'g'), QByteArray(32, 's')), Deadline(2s)));
    QByteArray reply;
    while (smb::readNegotiateReply(reply).kind == smb::NegotiateReply::Incomplete)
        ASSERT_EQ(s.receiveSome(reply, 0x10000, Deadline(2s)), Socket::Read::Data);
    EXPECT_EQ(smb::readNegotiateReply(reply).kind, smb::NegotiateReply::Time);
    EXPECT_EQ(reply.mid(4 + 68, 2), QByteArray::fromHex("1103")); // 3.1.1 was chosen
}

TEST(RemoteNetworkTest, AMessageIsOneMailslotWriteWithExactlyTheTextsBytes)
{
    REQUIRE_REMOTE_NETWORK();
    const QString texts[] = {"", "x", QString(255, 'M'), QStringLiteral("Grüße, 5 € – łódź")};
    const QStringList fields{"ip.src",
                             "udp.srcport",
                             "nbdgm.type",
                             "nbdgm.src.ip",
                             "nbdgm.src.port",
                             "nbdgm.source_name",
                             "nbdgm.destination_name",
                             "smb.cmd",
                             "smb.trans_name",
                             "smb.dc",
                             "mailslot.opcode",
                             "mailslot.class",
                             "data.data",
                             "udp.length",
                             "nbdgm.dgram_len",
                             "smb.data_offset"};
    const QString machines[] = {"nysrv", "10.211.1.11"};
    Capture capture("NYSRV", kNysrv, fields);
    for (const QString &machine : machines)
        for (const QString &text : texts)
            EXPECT_TRUE(SendMailslotMessage(machine, kMessengerSlot, text, MachineFinder(kLocal, Deadline(3s))));

    const QList<QStringList> packets = capture.datagrams(2 * int(std::size(texts)));
    ASSERT_EQ(packets.size(), 2 * std::size(texts));
    for (int i = 0; i < packets.size(); ++i) {
        const QString &text = texts[i % std::size(texts)];
        SCOPED_TRACE(text.toStdString());
        const QStringList &p = packets[i];
        ASSERT_EQ(p.size(), fields.size());
        EXPECT_EQ(p[2], "16");               // direct unique
        EXPECT_EQ(p.mid(3, 2), p.mid(0, 2)); // the source written in is the datagram's own
        EXPECT_EQ(p[5], "LREMCLIENT<00>");
        EXPECT_EQ(p[6], i < int(std::size(texts)) ? "NYSRV<03>" : "10.211.1.11<03>");
        EXPECT_EQ(p[7], "0x25"); // transaction
        EXPECT_EQ(p[8], "\\MAILSLOT\\MESSNGR");
        EXPECT_EQ(p[9].toInt(), toAnsi(text).size());
        // tshark shows no mailslot layer for a message without data.
        const QStringList writeSecondClass = text.isEmpty() ? QStringList{"", ""} : QStringList{"1", "2"};
        EXPECT_EQ(p.mid(10, 2), writeSecondClass);
        EXPECT_EQ(QByteArray::fromHex(p[12].toLatin1()), toAnsi(text));
        // Nothing follows the text, and the datagram is whole.
        EXPECT_EQ(p[14].toInt(), 2 * 34 + p[15].toInt() + toAnsi(text).size());
        EXPECT_EQ(p[13].toInt(), 8 + 14 + p[14].toInt());
    }
}

TEST(RemoteNetworkTest, AMachineThatDoesNotExistGetsNoMessageAndNoClock)
{
    REQUIRE_REMOTE_NETWORK();
    Capture capture("DEFSRV", kDefsrv, {"nbdgm.type"});
    EXPECT_FALSE(SendMailslotMessage("GHOST", kMessengerSlot, "boo", MachineFinder(kLocal, Deadline(3s))));
    EXPECT_TRUE(capture.probe()); // what does come is still seen
    EXPECT_TRUE(capture.datagrams(1).isEmpty());

    // Unless the row says where it is: then the datagram goes there.
    EXPECT_TRUE(SendMailslotMessage("GHOST", kMessengerSlot, "boo", MachineFinder(kLocal, Deadline(3s), {kDefsrv})));
    EXPECT_EQ(capture.datagrams(1), QList<QStringList>({{"16"}}));

    // The window, with the real network, tells the user within a few seconds.
    FakePlatform fakes;
    FakeWindowServices ui;
    FakeRemotePrompts &boxes = ui.remotePrompts;
    Workspace core(
        Platform{fakes.resolver, fakes.echo, fakes.neighborhood, std::make_shared<NetworkTransport>(), "LREMCLIENT"});
    TfrmMain w(core, ui.services());
    core.list().append(ResourceRow::created("GHOST", "", "LREMTEST"));
    w.selectRow(0);
    QElapsedTimer t;
    t.start();
    w.cmGetDateTime();
    EXPECT_TRUE(processEventsUntil([&] { return !core.remote().busy(); }, 6000));
    EXPECT_LT(t.elapsed(), 4500);
    EXPECT_EQ(boxes.errors, QStringList{"Cannot obtain datetime info."});
}

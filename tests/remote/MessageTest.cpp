#include "base/ByteReader.h"
#include "remote/AnsiText.h"
#include "remote/MachineFinder.h"
#include "remote/SmbMailslot.h"

#include "netbios/NameQuery.h"
#include "remote/Sockets.h"
#include "support/LoopbackResponder.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

constexpr Ipv4Address ip(quint32 hostOrder) { return Ipv4Address::fromHostOrder(hostOrder); }

} // namespace

TEST(MessageTest, TextBecomesWindows1252WithAQuestionMarkForTheRest)
{
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"", ""},
        {"Hello, world!", "Hello, world!"},
        {QStringLiteral("Grüße aus Köln, 5 €"), "Gr\xFC\xDF"
                                                "e aus K\xF6ln, 5 \x80"},
        {QStringLiteral("\u201Cquoted\u201D \u2013 \u0160\u017E"), "\x93quoted\x94 \x96 \x8A\x9E"},
        {QStringLiteral("e\u0301"), "\xE9"}, // a combining accent joins its letter
        {QStringLiteral("\u0142\u00F3d\u017A"), "?\xF3"
                                                "d?"}, // Polish letters 1252 lacks
        {QStringLiteral("\u65E5\u672C"), "??"},
        {QStringLiteral("a\U0001F600b"), "a?b"}, // one character, two code units
        {QStringLiteral("\u0081\u009D"), "??"},  // C1 controls are no characters of 1252
        {QString(255, 'x'), QByteArray(255, 'x')},
    };
    for (const auto &c : cases)
        EXPECT_EQ(toAnsi(c.text), c.bytes) << c.text.toStdString();
}

TEST(MessageTest, MailslotWriteIsATransactionWhoseDataAreTheTextBytes)
{
    // What tshark cannot show for an empty text: the setup words and counts.
    const QByteArray path = smb::mailslotPath("messngr");
    EXPECT_EQ(path, "\\MAILSLOT\\MESSNGR");
    for (const QByteArray &data : {QByteArray(), QByteArray(255, '\xE9')}) {
        const QByteArray smb = smb::mailslotWrite(path, data);
        ByteReader r(smb, 32);
        EXPECT_EQ(r.u8(), 17);             // words
        EXPECT_EQ(r.u16le(), 0);           // total parameters
        EXPECT_EQ(r.u16le(), data.size()); // total data
        r.seek(32 + 1 + 2 * 13);
        EXPECT_EQ(r.u8(), 3); // setup words:
        r.skip(1);
        EXPECT_EQ(r.u16le(), smb::kMailslotWrite);
        EXPECT_EQ(r.u16le(), 1); // priority
        EXPECT_EQ(r.u16le(), smb::kSecondClass);
        EXPECT_EQ(smb.sliced(r.pos() + 2), path + '\0' + data);
    }
}

TEST(MessageTest, WhichMachineTextsAreAddressesAndWhichNetbiosNames)
{
    const struct {
        QString machine;
        std::optional<Ipv4Address> address;
        std::optional<QByteArray> name;
    } cases[] = {
        {"10.211.1.11", ip(0x0AD3010Bu), std::nullopt},
        {"255.255.255.255", ip(0xFFFFFFFFu), std::nullopt},
        {"10.211.1", std::nullopt, std::nullopt}, // no classic short forms: a DNS name
        {"10.211.1.256", std::nullopt, std::nullopt},
        {"10.211.1.011", std::nullopt, std::nullopt}, // octal to the resolver: no address of ours
        {"nysrv", std::nullopt, "nysrv"},
        {"FIFTEEN-LETTERS", std::nullopt, "FIFTEEN-LETTERS"},
        {"SIXTEEN-LETTERS!", std::nullopt, std::nullopt}, // too long for NetBIOS
        {"ws1.office.lan", std::nullopt, std::nullopt},
        {QStringLiteral("K\u00F6ln"), std::nullopt, "K\xF6ln"},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.machine.toStdString());
        EXPECT_EQ(Ipv4Address::fromText(c.machine), c.address); // what the finder takes for an address
        EXPECT_EQ(netbiosName(c.machine), c.name);
    }
}

TEST(MessageTest, NameQueryAnswersCountOnlyFromWhereTheQueryWent)
{
    constexpr Ipv4Address here = ip(0x0A010203), far = ip(0x0A090909); // 10.1.2.3/24, 10.9.9.9
    const QList<Ipv4Subnet> local = {{here, 24}};
    const QList<Ipv4Address> broadcast = {ip(0x0A0102FF)}, hints = {ip(0x0A010240)};
    const struct {
        const char *what;
        Ipv4Address source;
        const QList<Ipv4Address> &targets;
        bool broadcast;
        bool accepted;
    } cases[] = {
        {"the machine asked", ip(0x0A010240), hints, false, true},
        {"another machine than the one asked", ip(0x0A010241), hints, false, false},
        {"a machine of the subnet broadcast to", ip(0x0A010241), broadcast, true, true},
        {"a machine outside every subnet", far, broadcast, true, false},
        {"a machine of a subnet not broadcast to", ip(0x0A010241), QList<Ipv4Address>{ip(0x0B0000FF)}, true, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(answerSourceAccepted(c.source, c.targets, c.broadcast, local), c.accepted) << c.what;
}

namespace {

// A machine on loopback that answers every name query with one positive
// answer per address of ANSWERS, in that order.
LoopbackResponder nameResponder(Ipv4Address address, QList<Ipv4Address> answers)
{
    return LoopbackResponder(address, netbios::kNameServicePort, [answers](const QByteArray &query) {
        QList<QByteArray> replies;
        if (query.size() < 12 + netbios::kEncodedNameSize)
            return replies;
        for (const Ipv4Address a : answers) {
            QByteArray reply = query.first(12 + netbios::kEncodedNameSize); // id and the question's name
            reply[2] = char(0x85);                                          // response, authoritative
            reply[3] = 0;
            reply.replace(4, 8, QByteArray::fromHex("0000000100000000"));
            netbios::appendU16(reply, netbios::kTypeNB);
            netbios::appendU16(reply, netbios::kClassIN);
            netbios::appendU32(reply, 300000);
            netbios::appendU16(reply, 6);
            netbios::appendU16(reply, 0);
            netbios::appendU32(reply, a.hostOrder());
            replies << reply;
        }
        return replies;
    });
}

} // namespace

TEST(MessageTest, ANameQueryAnswerCannotSendUsToLoopbackOurselvesOrAGroup)
{
    using namespace std::chrono_literals;
    constexpr Ipv4Address responder = ip(0x7F000005), ours = ip(0x0A010203), good = ip(0x0A010209);
    const QList<Ipv4Subnet> local = {{ours, 24}};
    const QList<Ipv4Address> hostile = {ip(0x7F000001), ours, ip(0xE0000001), ip(0x0A0102FF), ip(0), ip(0xFFFFFFFF)};
    {
        const LoopbackResponder peer = nameResponder(responder, hostile + QList<Ipv4Address>{good});
        if (!peer.bound())
            GTEST_SKIP() << "port 137 on loopback needs root";
        EXPECT_EQ(queryName("WS7", {responder}, false, local, Deadline(2s)), good);
    }
    const LoopbackResponder peer = nameResponder(responder, hostile);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(queryName("WS7", {responder}, false, local, Deadline(2s)), std::nullopt);
    EXPECT_GE(t.elapsed(), 500); // the hostile answers were read past, not taken for a "no"
}

#include "base/ByteReader.h"
#include "remote/AnsiText.h"
#include "remote/MachineFinder.h"
#include "remote/SmbMailslot.h"

#include <gtest/gtest.h>

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
        std::optional<quint32> address;
        std::optional<QByteArray> name;
    } cases[] = {
        {"10.211.1.11", 0x0AD3010Bu, std::nullopt},
        {"255.255.255.255", 0xFFFFFFFFu, std::nullopt},
        {"10.211.1", std::nullopt, std::nullopt}, // no classic short forms: a DNS name
        {"10.211.1.256", std::nullopt, std::nullopt},
        {"nysrv", std::nullopt, "nysrv"},
        {"FIFTEEN-LETTERS", std::nullopt, "FIFTEEN-LETTERS"},
        {"SIXTEEN-LETTERS!", std::nullopt, std::nullopt}, // too long for NetBIOS
        {"ws1.office.lan", std::nullopt, std::nullopt},
        {QStringLiteral("K\u00F6ln"), std::nullopt, "K\xF6ln"},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.machine.toStdString());
        EXPECT_EQ(dottedAddress(c.machine), c.address);
        EXPECT_EQ(netbiosName(c.machine), c.name);
    }
}

#include "discovery/MdnsMessage.h"
#include "base/ByteWriter.h"
#include "discovery/MdnsDiscovery.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace mdns;

namespace {

QByteArray captured(const char *name) { return readBytes(QStringLiteral(LUMEO_CAPTURES_DIR "/") + name); }

QList<Question> serviceQuestions()
{
    QList<Question> out;
    for (const QString &s : hostServices())
        out.append(Question{DnsName::fromDotted(s.toUtf8()), kPtr});
    return out;
}

QString text(const DnsName &name) { return QString::fromUtf8(name.labels.join('.')); }

// A record as the tests write it: "PTR owner -> target", "SRV owner -> host:port", "A owner = address".
QString text(const Record &r)
{
    switch (r.type) {
    case kPtr:
        return "PTR " + text(r.name) + " -> " + text(r.target);
    case kSrv:
        return "SRV " + text(r.name) + " -> " + text(r.target) + ":" + QString::number(r.port);
    case kA:
        return "A " + text(r.name) + " = " + r.address.toString();
    }
    return "?";
}

QStringList texts(const std::optional<QList<Record>> &records)
{
    QStringList out;
    if (!records)
        return {"refused"};
    for (const Record &r : *records)
        out << text(r);
    return out;
}

void appendName(QByteArray &out, const char *dotted)
{
    for (const QByteArray &label : QByteArray(dotted).split('.'))
        if (!label.isEmpty())
            out += char(label.size()) + label;
    out += '\0';
}

// A record written plainly, without compression.
struct Rr {
    const char *name;
    quint16 type;
    const char *target = ""; // PTR, SRV; A: the dotted address
    quint32 ttl = 120;
    quint16 klass = 0x8001; // the cache-flush bit set, as responders do
};

QByteArray response(quint16 id, const QList<Question> &questions, const QList<Rr> &records, quint16 flags = 0x8400)
{
    QByteArray out;
    appendBe16(out, id);
    appendBe16(out, flags);
    appendBe16(out, quint16(questions.size()));
    appendBe16(out, quint16(records.size()));
    appendBe16(out, 0);
    appendBe16(out, 0);
    for (const Question &q : questions) {
        appendName(out, q.name.labels.join('.').constData());
        appendBe16(out, q.type);
        appendBe16(out, 1);
    }
    for (const Rr &r : records) {
        appendName(out, r.name);
        appendBe16(out, r.type);
        appendBe16(out, r.klass);
        appendBe32(out, r.ttl);
        QByteArray data;
        if (r.type == kA)
            appendBe32(data, Ipv4Address::fromText(QString::fromLatin1(r.target))->hostOrder());
        else {
            if (r.type == kSrv)
                data += QByteArray::fromHex("000000000016"); // priority, weight, port 22
            appendName(data, r.target);
        }
        appendBe16(out, quint16(data.size()));
        out += data;
    }
    return out;
}

Question ptr(const char *service) { return Question{DnsName::fromDotted(service), kPtr}; }

} // namespace

TEST(MdnsMessageTest, AvahisCapturedAnswerNamesTheHostBehindEachService)
{
    const QByteArray query = captured("mdns-query.bin");
    ASSERT_GE(query.size(), 2);
    const quint16 id = quint16((quint8(query[0]) << 8) | quint8(query[1]));
    // What went out is our query for the host-announcing services.
    EXPECT_EQ(query, buildQuery(id, serviceQuestions()));
    const QByteArray answer = captured("mdns-answer.bin");
    EXPECT_EQ(texts(parseResponse(answer, id, serviceQuestions())),
              QStringList({"PTR _ssh._tcp.local -> penguin._ssh._tcp.local",
                           "PTR _workstation._tcp.local -> penguin [62:37:71:34:e4:a4]._workstation._tcp.local",
                           "SRV penguin._ssh._tcp.local -> penguin.local:22",
                           "SRV penguin [62:37:71:34:e4:a4]._workstation._tcp.local -> penguin.local:9",
                           "A penguin.local = 10.210.1.31"}));

    // Every part of it is needed: cut anywhere, it is refused whole.
    for (qsizetype n = 0; n < answer.size(); ++n)
        ASSERT_FALSE(parseResponse(answer.first(n), id, serviceQuestions())) << n;
    // It answers our query and no other.
    EXPECT_FALSE(parseResponse(answer, quint16(id + 1), serviceQuestions()));
    EXPECT_FALSE(parseResponse(answer, id, serviceQuestions().first(4)));
}

TEST(MdnsMessageTest, OnlyRecordsThatAnswerOurQuestionsAreKept)
{
    const QList<Question> asked = {ptr("_ssh._tcp.local"), Question{DnsName::fromDotted("box.local"), kA}};
    struct Case {
        const char *what;
        QList<Rr> records;
        QStringList kept;
    };
    const Case cases[] = {
        {"a service, its instance's host and the host's address, in any order",
         {{"h.local", kA, "10.0.0.7"},
          {"h._ssh._tcp.local", kSrv, "h.local"},
          {"_ssh._tcp.local", kPtr, "h._ssh._tcp.local"}},
         {"PTR _ssh._tcp.local -> h._ssh._tcp.local", "SRV h._ssh._tcp.local -> h.local:22", "A h.local = 10.0.0.7"}},
        {"a service we did not ask about, and what hangs from it",
         {{"_http._tcp.local", kPtr, "h._http._tcp.local"},
          {"h._http._tcp.local", kSrv, "h.local"},
          {"h.local", kA, "10.0.0.7"}},
         {}},
        {"an address asked for by name", {{"BOX.local", kA, "10.0.0.8"}}, {"A BOX.local = 10.0.0.8"}},
        {"an address nobody asked for", {{"other.local", kA, "10.0.0.9"}}, {}},
        {"a record that says it is gone", {{"box.local", kA, "10.0.0.8", 0}}, {}},
        {"another class", {{"box.local", kA, "10.0.0.8", 120, 3}}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(texts(parseResponse(response(7, asked, c.records), 7, asked)), c.kept) << c.what;

    QList<Rr> flood;
    for (int i = 0; i < kMaxRecords + 10; ++i)
        flood.append({"_ssh._tcp.local", kPtr, "h._ssh._tcp.local"});
    EXPECT_EQ(parseResponse(response(7, asked, flood), 7, asked)->size(), kMaxRecords);
}

TEST(MdnsMessageTest, MalformedOrForeignMessagesAreRefusedWhole)
{
    const QList<Question> asked = {ptr("_ssh._tcp.local")};
    const QList<Rr> one = {{"_ssh._tcp.local", kPtr, "h._ssh._tcp.local"}};
    const QByteArray good = response(7, asked, one);
    // A name whose pointer points at itself, and one that points ahead.
    QByteArray loop = response(7, asked, {});
    loop[7] = 1; // one answer
    loop += QByteArray::fromHex("c0") + char(loop.size()) + QByteArray::fromHex("000c00010000007800020000");
    // The record's owner points to a good name after the record.
    QByteArray ahead = response(7, asked, {});
    ahead[7] = 1;
    QByteArray target;
    appendName(target, "h._ssh._tcp.local");
    const int after = int(ahead.size()) + 2 + 10 + int(target.size());
    ahead += QByteArray::fromHex("c0") + char(after) + QByteArray::fromHex("000c000100000078") + char(0)
             + char(target.size()) + target;
    appendName(ahead, "_ssh._tcp.local");
    QByteArray longName = response(7, asked, {});
    longName[7] = 1;
    for (int i = 0; i < 5; ++i)
        longName += char(63) + QByteArray(63, 'x');
    longName += QByteArray::fromHex("00000100010000007800040a000001");
    QByteArray counted = good;
    counted[7] = char(kMaxRecordsRead & 0xFF);
    counted[6] = char(kMaxRecordsRead >> 8);
    struct Case {
        const char *what;
        QByteArray message;
    };
    const Case cases[] = {
        {"a query, not an answer", response(7, asked, one, 0x0000)},
        {"an error answer", response(7, asked, one, 0x8403)},
        {"no question repeated", response(7, {}, one)},
        {"a question we did not ask", response(7, {ptr("_http._tcp.local")}, one)},
        {"a pointer loop", loop},
        {"a pointer ahead", ahead},
        {"a name longer than 255 bytes", longName},
        {"more records than are read", counted},
        {"a record longer than the message", good.chopped(1)},
    };
    ASSERT_TRUE(parseResponse(good, 7, asked));
    for (const Case &c : cases)
        EXPECT_FALSE(parseResponse(c.message, 7, asked)) << c.what;
}

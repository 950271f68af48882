#include "discovery/WsdMessages.h"
#include "discovery/HttpResponse.h"

#include "support/TestFiles.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

// The answers wsdd gave in tests/discovery/sambanet.sh's network, captured
// with tshark beside the messages of ours they answer.

namespace {

QByteArray captured(const char *name) { return readBytes(QStringLiteral(LUMEO_CAPTURES_DIR "/") + name); }

// The MessageID of a message of ours, which its answer relates to.
QString messageIdOf(const QByteArray &message)
{
    const auto m =
        QRegularExpression(QStringLiteral("<wsa:MessageID>([^<]*)</wsa:MessageID>")).match(QString::fromUtf8(message));
    return m.captured(1);
}

QByteArray envelope(const QByteArray &header, const QByteArray &body)
{
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
           " xmlns:p=\"http://schemas.microsoft.com/windows/pub/2005/07\"><s:Header>"
           + header + "</s:Header><s:Body>" + body + "</s:Body></s:Envelope>";
}

QByteArray matchesHeader(const char *id = "urn:uuid:1")
{
    return QByteArray("<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>"
                      "<a:RelatesTo>")
           + id + "</a:RelatesTo>";
}

QByteArray match(const QByteArray &endpoint, const QByteArray &xaddrs)
{
    return "<d:ProbeMatch><a:EndpointReference><a:Address>" + endpoint + "</a:Address></a:EndpointReference><d:XAddrs>"
           + xaddrs + "</d:XAddrs></d:ProbeMatch>";
}

QByteArray getResponse(const QByteArray &computer, const char *id = "urn:uuid:1")
{
    return envelope(QByteArray("<a:Action>http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse</a:Action>"
                               "<a:RelatesTo>")
                        + id + "</a:RelatesTo>",
                    "<m:Metadata xmlns:m=\"http://schemas.xmlsoap.org/ws/2004/09/mex\"><p:Computer>" + computer
                        + "</p:Computer></m:Metadata>");
}

} // namespace

TEST(WsdMessagesTest, WsddsCapturedAnswersGiveItsEndpointAddressAndName)
{
    const QString endpoint = "urn:uuid:e5e61fb5-d685-5b50-9ba7-acb6e6962ef3";
    const QString probeId = messageIdOf(captured("wsd-probe.xml"));
    ASSERT_FALSE(probeId.isEmpty());
    // The header alone says which message an answer is for.
    EXPECT_EQ(wsd::relatesTo(captured("wsd-probe-matches.xml")), probeId);
    EXPECT_EQ(wsd::relatesTo(envelope("", "<a:RelatesTo>" + probeId.toUtf8() + "</a:RelatesTo>")), QString());
    // wsdd's ProbeMatch tells no address: it is resolved.
    const auto probed = wsd::parseMatches(captured("wsd-probe-matches.xml"), probeId);
    ASSERT_TRUE(probed);
    ASSERT_EQ(probed->size(), 1);
    EXPECT_EQ((*probed)[0].endpoint, endpoint);
    EXPECT_TRUE((*probed)[0].xaddrs.isEmpty());
    // Our Resolve names that endpoint, and the ResolveMatch tells where it answers.
    const QByteArray resolve = captured("wsd-resolve.xml");
    EXPECT_EQ(resolve, wsd::buildResolve(endpoint, messageIdOf(resolve)));
    const auto resolved =
        wsd::parseMatches(captured("wsd-resolve-matches.xml"), messageIdOf(resolve), wsd::MatchKind::Resolve);
    ASSERT_TRUE(resolved);
    ASSERT_EQ(resolved->size(), 1);
    EXPECT_EQ((*resolved)[0].xaddrs, QStringList({"http://10.210.1.21:5357/" + endpoint.sliced(9)}));
    // A ProbeMatches is no ResolveMatches, nor the other way round.
    EXPECT_FALSE(wsd::parseMatches(captured("wsd-resolve-matches.xml"), messageIdOf(resolve)));
    EXPECT_FALSE(wsd::parseMatches(captured("wsd-probe-matches.xml"), probeId, wsd::MatchKind::Resolve));

    // The Get went over HTTP/1.1; wsdd answered in HTTP/1.0 and closed.
    const QByteArray get = captured("wsd-get.http");
    const HttpResponse response = readHttpResponse(captured("wsd-get-response.http"), true, wsd::kMaxMessageBytes);
    ASSERT_EQ(response.state, HttpResponse::Complete);
    const auto computer = wsd::parseGetResponse(response.body, messageIdOf(get));
    ASSERT_TRUE(computer);
    EXPECT_EQ(computer->name, "DESK10");
    EXPECT_EQ(computer->workgroup, "OFFICE");
    EXPECT_FALSE(wsd::parseGetResponse(response.body, probeId));
}

TEST(WsdMessagesTest, AnswersAreTakenOnlyForOurMessageAndWithinTheLimits)
{
    const QByteArray one = match("urn:uuid:a", "http://10.0.0.5:5357/a http://[fe80::1]:5357/a");
    QByteArray many;
    for (int i = 0; i < wsd::kMaxMatches + 5; ++i)
        many += match("urn:uuid:" + QByteArray::number(i), "http://10.0.0.5/");
    QByteArray deep = "x";
    for (int i = 0; i < wsd::kMaxDepth; ++i)
        deep = "<d:n>" + deep + "</d:n>";
    struct Case {
        const char *what;
        QByteArray xml;
        int matches; // -1: refused
    };
    const Case cases[] = {
        {"a match with two addresses", envelope(matchesHeader(), "<d:ProbeMatches>" + one + "</d:ProbeMatches>"), 1},
        {"another message's answer",
         envelope(matchesHeader("urn:uuid:2"), "<d:ProbeMatches>" + one + "</d:ProbeMatches>"), -1},
        {"no RelatesTo at all",
         envelope("<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>",
                  "<d:ProbeMatches>" + one + "</d:ProbeMatches>"),
         -1},
        {"a Hello is no answer",
         envelope("<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello</a:Action>"
                  "<a:RelatesTo>urn:uuid:1</a:RelatesTo>",
                  ""),
         -1},
        {"matches beyond the limit are left out",
         envelope(matchesHeader(), "<d:ProbeMatches>" + many + "</d:ProbeMatches>"), wsd::kMaxMatches},
        {"a match without an endpoint is none",
         envelope(matchesHeader(), "<d:ProbeMatches>" + match("", "http://10.0.0.5/") + "</d:ProbeMatches>"), 0},
        {"a DTD, which could define entities",
         "<!DOCTYPE s:Envelope [<!ENTITY e \"x\">]>" + envelope(matchesHeader(), ""), -1},
        {"nesting deeper than the limit", envelope(matchesHeader(), deep), -1},
        {"an endpoint longer than the limit",
         envelope(matchesHeader(),
                  "<d:ProbeMatches>" + match(QByteArray(wsd::kMaxText + 1, 'e'), "") + "</d:ProbeMatches>"),
         -1},
        {"XML cut short", envelope(matchesHeader(), "<d:ProbeMatches>" + one).chopped(20), -1},
        // Found by fuzzing: the answer's header after its body, where the
        // header's quick reading does not look.
        {"a second header after the body",
         QByteArray(envelope("<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>",
                             "<d:ProbeMatches>" + one + "</d:ProbeMatches>"))
             .replace("</s:Envelope>", "<s:Header>" + matchesHeader() + "</s:Header></s:Envelope>"),
         -1},
        {"two bodies",
         QByteArray(envelope(matchesHeader(), "<d:ProbeMatches>" + one + "</d:ProbeMatches>"))
             .replace("</s:Envelope>", "<s:Body/></s:Envelope>"),
         -1},
        {"something else beside header and body",
         QByteArray(envelope(matchesHeader(), "<d:ProbeMatches>" + one + "</d:ProbeMatches>"))
             .replace("<s:Body>", "<d:Extra/><s:Body>"),
         -1},
        {"SOAP 1.1 is not what WS-Discovery speaks",
         QByteArray(envelope(matchesHeader(), "")).replace("2003/05/soap-envelope", "soap/envelope/"), -1},
    };
    for (const Case &c : cases) {
        const auto matches = wsd::parseMatches(c.xml, u"urn:uuid:1");
        EXPECT_EQ(matches ? int(matches->size()) : -1, c.matches) << c.what;
    }
    const auto two = wsd::parseMatches(cases[0].xml, u"urn:uuid:1");
    ASSERT_TRUE(two && two->size() == 1);
    EXPECT_EQ((*two)[0].xaddrs, QStringList({"http://10.0.0.5:5357/a", "http://[fe80::1]:5357/a"}));
}

TEST(WsdMessagesTest, TheComputerIsNamedCleanWithItsWorkgroupOrDomain)
{
    struct Case {
        QByteArray value;
        const char *name; // nullptr: no computer
        const char *workgroup;
    };
    const Case cases[] = {
        {"DESKTOP-1/Workgroup:WORKGROUP", "DESKTOP-1", "WORKGROUP"},
        {"laptop/Domain:corp.example", "laptop", "corp.example"},
        {"PC/workgroup:lower", "PC", "lower"},
        {"  SPACED / Workgroup: WG ", "SPACED", "WG"},
        {"ALONE", "ALONE", ""},
        {"PC/NotJoined", "PC", ""},
        {"A,B&#9;&#10;C&#x85;/Workgroup:W,G", "A?B??C?", "W?G"},
        {"/Workgroup:WG", nullptr, ""},
        {"", nullptr, ""},
        {QByteArray(300, 'N'), nullptr, ""},
    };
    for (const Case &c : cases) {
        const auto computer = wsd::parseGetResponse(getResponse(c.value), u"urn:uuid:1");
        ASSERT_EQ(bool(computer), c.name != nullptr) << c.value.toStdString();
        if (!computer)
            continue;
        EXPECT_EQ(computer->name, c.name) << c.value.toStdString();
        EXPECT_EQ(computer->workgroup, c.workgroup) << c.value.toStdString();
    }
    EXPECT_FALSE(wsd::parseGetResponse(getResponse("PC/Workgroup:WG", "urn:uuid:2"), u"urn:uuid:1"));
}

TEST(WsdMessagesTest, TheGetGoesOnlyToTheMachineThatAnswered)
{
    EXPECT_TRUE(wsd::isXAddrOf("http://10.0.0.5:5357/uuid", "10.0.0.5"));
    EXPECT_TRUE(wsd::isXAddrOf("http://10.0.0.5/", "10.0.0.5"));
    for (const char *other :
         {"http://10.0.0.6:5357/uuid", "https://10.0.0.5:5357/uuid", "http://user@10.0.0.5/",
          "http://host.example:5357/", "http://[fe80::1]:5357/", "http://10.0.0.5:0/", "10.0.0.5", ""})
        EXPECT_FALSE(wsd::isXAddrOf(other, "10.0.0.5")) << other;
}

TEST(HttpResponseTest, TheBodyEndsWhereTheAnswerSaysAndNoLaterThanItsLimit)
{
    struct Case {
        const char *what;
        QByteArray received;
        bool closed;
        HttpResponse::State state;
        QByteArray body;
    };
    const Case cases[] = {
        {"by its length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more", false, HttpResponse::Complete,
         "hello"},
        {"by its length, not there yet", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", false,
         HttpResponse::Incomplete, ""},
        {"by its length, cut short by the close", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", true,
         HttpResponse::Refused, ""},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;x=y\r\nhel\r\n2\r\nlo\r\n0\r\n\r\n", false,
         HttpResponse::Complete, "hello"},
        {"chunked, not there yet", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhel\r\n", false,
         HttpResponse::Incomplete, ""},
        {"a chunk that does not end where its size says",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhello\r\n0\r\n\r\n", false, HttpResponse::Refused,
         ""},
        {"a chunk size that is no number", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-3\r\n", false,
         HttpResponse::Refused, ""},
        {"by the close", "HTTP/1.0 200 OK\r\n\r\nhello", true, HttpResponse::Complete, "hello"},
        {"by the close, still open", "HTTP/1.0 200 OK\r\n\r\nhello", false, HttpResponse::Incomplete, ""},
        {"another status", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, HttpResponse::Refused, ""},
        {"no HTTP at all", "SSH-2.0-OpenSSH\r\n\r\n", false, HttpResponse::Refused, ""},
        {"two lengths that disagree", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", false,
         HttpResponse::Refused, ""},
        {"a body longer than the limit", "HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n", false, HttpResponse::Refused,
         ""},
        {"a chunked body longer than the limit",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\n123456789\r\n9\r\n", false, HttpResponse::Refused,
         ""},
        {"headers longer than their limit", "HTTP/1.1 200 OK\r\nX: " + QByteArray(kMaxHttpHeader, 'x'), false,
         HttpResponse::Refused, ""},
        {"the headers cut short by the close", "HTTP/1.1 200 OK\r\nContent-Le", true, HttpResponse::Refused, ""},
    };
    for (const Case &c : cases) {
        const HttpResponse r = readHttpResponse(c.received, c.closed, 16);
        EXPECT_EQ(r.state, c.state) << c.what;
        EXPECT_EQ(r.body, c.body) << c.what;
    }
}

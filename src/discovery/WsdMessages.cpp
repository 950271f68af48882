#include "discovery/WsdMessages.h"

#include "discovery/NetworkSnapshot.h"

#include <QUrl>
#include <QUuid>
#include <QXmlStreamReader>

#include <functional>

namespace wsd {

namespace {

const QString kSoap = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString kAddressing = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/08/addressing");
const QString kDiscovery = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery");
const QString kPub = QStringLiteral("http://schemas.microsoft.com/windows/pub/2005/07");
const QString kGetResponseAction = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse");

constexpr qsizetype kMaxComputerName = 255;

struct Name {
    QString ns;
    QString local;
    bool is(const QString &n, const char *l) const { return ns == n && local == QLatin1StringView(l); }
};

// Where an element stands: the names from the envelope down to it.
using Path = QList<Name>;

// Walks a SOAP envelope and hands each element that ends, with its path and
// its own text, to SEEN. False where the document is refused.
bool walkEnvelope(QByteArrayView xml, const std::function<void(const Path &, const QString &)> &seen)
{
    if (xml.size() > kMaxMessageBytes)
        return false;
    QXmlStreamReader reader(xml.toByteArray());
    Path path;
    QString text;
    bool textTooLong = false;
    // An envelope holds one Header at most, then one Body, and nothing
    // else: a second header after the body must not be read as the answer's.
    bool sawHeader = false, sawBody = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return false;
        case QXmlStreamReader::StartElement:
            if (path.size() >= kMaxDepth)
                return false;
            if (path.isEmpty() && !(reader.namespaceUri() == kSoap && reader.name() == u"Envelope"))
                return false;
            if (path.size() == 1) {
                const bool soap = reader.namespaceUri() == kSoap;
                if (soap && reader.name() == u"Header" && !sawHeader && !sawBody)
                    sawHeader = true;
                else if (soap && reader.name() == u"Body" && !sawBody)
                    sawBody = true;
                else
                    return false;
            }
            path.append(Name{reader.namespaceUri().toString(), reader.name().toString()});
            text.clear();
            textTooLong = false;
            break;
        case QXmlStreamReader::Characters:
            if (text.size() + reader.text().size() > kMaxText)
                textTooLong = true;
            else
                text += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            // A long text refuses the document only where it is read.
            if (textTooLong)
                text = QString(kMaxText + 1, u' ');
            seen(path, text);
            path.removeLast();
            text.clear();
            textTooLong = false;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

bool inHeader(const Path &p, const char *local)
{
    return p.size() == 3 && p[1].is(kSoap, "Header") && p[2].is(kAddressing, local);
}

// The header fields every answer must have right.
struct Header {
    QString action, relatesTo;
    bool tooLong = false;
    void see(const Path &p, const QString &text)
    {
        if (inHeader(p, "Action"))
            action = text.trimmed();
        else if (inHeader(p, "RelatesTo"))
            relatesTo = text.trimmed();
        else
            return;
        tooLong = tooLong || text.size() > kMaxText;
    }
    bool answers(const QString &expectedAction, QStringView messageId) const
    {
        return !tooLong && action == expectedAction && !messageId.isEmpty() && relatesTo == messageId;
    }
};

QString envelope(const QString &header, const QString &body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soap:Envelope xmlns:soap=\"%1\" xmlns:wsa=\"%2\" xmlns:wsd=\"%3\""
                          " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\" xmlns:pub=\"%4\">"
                          "<soap:Header>%5</soap:Header><soap:Body>%6</soap:Body></soap:Envelope>")
        .arg(kSoap, kAddressing, kDiscovery, kPub, header, body);
}

QString escaped(const QString &text) { return text.toHtmlEscaped(); }

} // namespace

QString relatesTo(QByteArrayView xml)
{
    if (xml.size() > kMaxMessageBytes)
        return {};
    QXmlStreamReader reader(xml.toByteArray());
    int depth = 0;
    bool inHeader = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return {};
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 1 && !(reader.namespaceUri() == kSoap && reader.name() == u"Envelope"))
                return {};
            if (depth == 2)
                inHeader = reader.namespaceUri() == kSoap && reader.name() == u"Header";
            if (depth == 3 && inHeader && reader.namespaceUri() == kAddressing && reader.name() == u"RelatesTo") {
                const QString text = reader.readElementText();
                return text.size() > kMaxText || reader.hasError() ? QString() : text.trimmed();
            }
            if (depth > 2 && !inHeader)
                return {};
            if (depth > kMaxDepth)
                return {};
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return {};
}

QString newMessageId() { return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces); }

QByteArray buildProbe(const QString &messageId)
{
    return envelope(QStringLiteral("<wsa:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</wsa:To>"
                                   "<wsa:Action>%1/Probe</wsa:Action><wsa:MessageID>%2</wsa:MessageID>")
                        .arg(kDiscovery, escaped(messageId)),
                    QStringLiteral("<wsd:Probe><wsd:Types>wsdp:Device</wsd:Types></wsd:Probe>"))
        .toUtf8();
}

QByteArray buildResolve(const QString &endpoint, const QString &messageId)
{
    return envelope(QStringLiteral("<wsa:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</wsa:To>"
                                   "<wsa:Action>%1/Resolve</wsa:Action><wsa:MessageID>%2</wsa:MessageID>")
                        .arg(kDiscovery, escaped(messageId)),
                    QStringLiteral("<wsd:Resolve><wsa:EndpointReference><wsa:Address>%1</wsa:Address>"
                                   "</wsa:EndpointReference></wsd:Resolve>")
                        .arg(escaped(endpoint)))
        .toUtf8();
}

QByteArray buildGet(const QString &endpoint, const QString &messageId)
{
    return envelope(QStringLiteral("<wsa:To>%1</wsa:To>"
                                   "<wsa:Action>http://schemas.xmlsoap.org/ws/2004/09/transfer/Get</wsa:Action>"
                                   "<wsa:MessageID>%2</wsa:MessageID>"
                                   "<wsa:ReplyTo><wsa:Address>%3/role/anonymous</wsa:Address></wsa:ReplyTo>")
                        .arg(escaped(endpoint), escaped(messageId), kAddressing),
                    QString())
        .toUtf8();
}

std::optional<QList<ProbeMatch>> parseMatches(QByteArrayView xml, QStringView messageId, MatchKind kind)
{
    const char *const list = kind == MatchKind::Probe ? "ProbeMatches" : "ResolveMatches";
    const char *const item = kind == MatchKind::Probe ? "ProbeMatch" : "ResolveMatch";
    Header header;
    QList<ProbeMatch> matches;
    ProbeMatch current;
    bool tooLong = false;
    const bool wellFormed = walkEnvelope(xml, [&](const Path &p, const QString &text) {
        header.see(p, text);
        const bool inMatch =
            p.size() >= 4 && p[1].is(kSoap, "Body") && p[2].is(kDiscovery, list) && p[3].is(kDiscovery, item);
        if (!inMatch)
            return;
        if (p.size() == 4) {
            if (matches.size() < kMaxMatches && !current.endpoint.isEmpty())
                matches.append(current);
            current = ProbeMatch{};
        } else if (p.size() == 6 && p[4].is(kAddressing, "EndpointReference") && p[5].is(kAddressing, "Address")) {
            tooLong = tooLong || text.size() > kMaxText;
            current.endpoint = text.trimmed();
        } else if (p.size() == 5 && p[4].is(kDiscovery, "XAddrs")) {
            tooLong = tooLong || text.size() > kMaxText;
            const QStringList xaddrs = text.simplified().split(u' ', Qt::SkipEmptyParts);
            current.xaddrs = xaddrs.first(std::min<qsizetype>(kMaxAddresses, xaddrs.size()));
        }
    });
    if (!wellFormed || tooLong || !header.answers(kDiscovery + u'/' + QLatin1StringView(list), messageId))
        return std::nullopt;
    return matches;
}

std::optional<Computer> parseGetResponse(QByteArrayView xml, QStringView messageId)
{
    Header header;
    std::optional<QString> value;
    bool tooLong = false;
    const bool wellFormed = walkEnvelope(xml, [&](const Path &p, const QString &text) {
        header.see(p, text);
        if (p.size() >= 3 && p[1].is(kSoap, "Body") && p.back().is(kPub, "Computer") && !value) {
            tooLong = text.size() > kMaxComputerName;
            value = text.trimmed();
        }
    });
    if (!wellFormed || tooLong || !value || !header.answers(kGetResponseAction, messageId))
        return std::nullopt;
    Computer computer = readComputerValue(*value);
    if (computer.name.isEmpty())
        return std::nullopt;
    return computer;
}

Computer readComputerValue(QStringView value)
{
    const qsizetype slash = value.indexOf(u'/');
    Computer out;
    out.name = shownNetworkName(slash < 0 ? value : value.first(slash));
    if (slash < 0)
        return out;
    const QStringView rest = value.sliced(slash + 1).trimmed();
    for (const QStringView kind : {QStringView(u"Workgroup:"), QStringView(u"Domain:")})
        if (rest.startsWith(kind, Qt::CaseInsensitive))
            out.workgroup = shownNetworkName(rest.sliced(kind.size()));
    return out;
}

bool isXAddrOf(const QString &xaddr, const QString &from)
{
    const QUrl url(xaddr, QUrl::StrictMode);
    return url.isValid() && url.scheme() == u"http" && url.host() == from && url.userInfo().isEmpty()
           && url.port(kHttpPort) > 0;
}

} // namespace wsd

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The messages of WS-Discovery (the 2005/04 version that Windows speaks)
// and of the WS-Transfer Get that follows it: a Probe for computers sent to
// the multicast group, the ProbeMatches each computer sends back, and the
// metadata that names it. Every answer is read with QXmlStreamReader and
// taken only as the answer to the message we sent.
namespace wsd {

inline constexpr quint16 kPort = 3702;
inline constexpr quint32 kGroup = 0xEFFFFFFA; // 239.255.255.250, host order
inline constexpr quint16 kHttpPort = 5357;

// Limits on what one answer may make us read and keep.
inline constexpr qsizetype kMaxMessageBytes = 256 * 1024;
inline constexpr int kMaxDepth = 24;
inline constexpr qsizetype kMaxText = 2048; // of any element we read
inline constexpr int kMaxMatches = 16;
inline constexpr int kMaxAddresses = 8; // of one match

// A fresh "urn:uuid:..." for a message.
QString newMessageId();

QByteArray buildProbe(const QString &messageId);
// Asks the device at ENDPOINT where it answers, for a match that did not
// say (wsdd's do not).
QByteArray buildResolve(const QString &endpoint, const QString &messageId);

struct ProbeMatch {
    QString endpoint;   // the device's endpoint address, "urn:uuid:..."
    QStringList xaddrs; // where it answers a Get, at most kMaxAddresses
};

enum class MatchKind {
    Probe,
    Resolve
};

// The matches of a ProbeMatches (or ResolveMatches) that relates to
// MESSAGEID, at most kMaxMatches; nothing for anything else (another
// message, another action, XML that is not well formed, that declares a
// DTD, nests deeper than kMaxDepth or holds a longer text than kMaxText
// where we read one).
std::optional<QList<ProbeMatch>> parseMatches(QByteArrayView xml, QStringView messageId,
                                              MatchKind kind = MatchKind::Probe);

// The RelatesTo of an answer's header, read no further than the header:
// which of our messages it claims to answer, so that it is parsed whole only
// against that one. Empty where there is none or the XML is refused.
QString relatesTo(QByteArrayView xml);

// The Get of ENDPOINT's metadata.
QByteArray buildGet(const QString &endpoint, const QString &messageId);

struct Computer {
    QString name;      // cleaned as shownNetworkName says
    QString workgroup; // or domain; cleaned so, empty where none is told
};

// The computer that a GetResponse relating to MESSAGEID names in its
// pub:Computer; nothing for anything else, as parseProbeMatches, or where
// it names no computer.
std::optional<Computer> parseGetResponse(QByteArrayView xml, QStringView messageId);

// "NAME/Workgroup:WG", "NAME/Domain:DOM" or "NAME" read.
Computer readComputerValue(QStringView value);

// An XAddr we may send the Get to: an http URL whose host is the dotted
// address FROM, which the match came from, so that no answer can point us
// at a third machine.
bool isXAddrOf(const QString &xaddr, const QString &from);

} // namespace wsd

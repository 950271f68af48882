#pragma once

#include "base/Ipv4.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

#include <optional>

// The messages of multicast DNS (RFC 6762) that a one-shot query needs:
// questions sent from a port of our own, and the answer a responder sends
// back to that port, which repeats our transaction and questions. Only the
// record types that tell a host's name and addresses are read.
namespace mdns {

inline constexpr quint16 kPort = 5353;
inline constexpr quint32 kGroup = 0xE00000FB; // 224.0.0.251, host order

enum RecordType : quint16 {
    kA = 1,
    kPtr = 12,
    kSrv = 33
};

// A domain name as its labels, compared without regard to ASCII case, as
// DNS compares names.
struct DnsName {
    QByteArrayList labels;

    static DnsName fromDotted(QByteArrayView dotted); // labels without dots in them
    bool sameAs(const DnsName &other) const;
    bool isEmpty() const { return labels.isEmpty(); }
};

struct Question {
    DnsName name;
    quint16 type = 0;
};

struct Record {
    DnsName name;
    quint16 type = 0;
    DnsName target;      // PTR: the instance; SRV: the host
    quint16 port = 0;    // SRV
    Ipv4Address address; // A
};

// Limits on what one answer may make us keep.
inline constexpr int kMaxQuestions = 16;
inline constexpr int kMaxRecords = 64;      // kept of one answer
inline constexpr int kMaxRecordsRead = 256; // looked at; an answer with more is refused
inline constexpr int kMaxNameBytes = 255;   // a name as it goes on the wire
inline constexpr int kMaxPointerJumps = 32;

// A query with QUESTIONS (at most kMaxQuestions) as transaction ID.
QByteArray buildQuery(quint16 id, const QList<Question> &questions);

// Reads the answer to the query ID that asked ASKED. Nothing for anything
// else: a message cut short or pointing past its end or in a loop, a
// query, an error, another transaction, a question we did not ask, more
// records than kMaxRecordsRead. Of its records only those that answer our
// questions are kept, at most kMaxRecords: PTR, SRV and A records whose
// owner is a name we asked about with that type, SRV records of the
// instances its kept PTR records name, and A records of the hosts its kept
// SRV records name.
std::optional<QList<Record>> parseResponse(QByteArrayView message, quint16 id, const QList<Question> &asked);

} // namespace mdns

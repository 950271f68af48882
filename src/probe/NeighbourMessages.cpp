#include "probe/NeighbourMessages.h"

#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace {

// Netlink is in the machine's own byte order, and its headers are aligned
// to four bytes only where the sender kept to that: read them unaligned.
template <typename T>
T at(QByteArrayView bytes, qsizetype pos)
{
    return qFromUnaligned<T>(bytes.data() + pos);
}

constexpr qsizetype align4(qsizetype n) { return (n + 3) & ~qsizetype(3); }

// The attributes of one neighbour message, after its ndmsg; false when one
// runs past the message.
bool readAttributes(QByteArrayView attributes, NeighbourEntry &entry, bool &hasAddress)
{
    qsizetype pos = 0;
    while (attributes.size() - pos >= qsizetype(sizeof(rtattr))) {
        const qsizetype length = at<quint16>(attributes, pos + offsetof(rtattr, rta_len));
        const quint16 type = at<quint16>(attributes, pos + offsetof(rtattr, rta_type)) & NLA_TYPE_MASK;
        if (length < qsizetype(sizeof(rtattr)) || length > attributes.size() - pos)
            return false;
        const QByteArrayView value =
            attributes.sliced(pos + qsizetype(sizeof(rtattr)), length - qsizetype(sizeof(rtattr)));
        if (type == NDA_DST && value.size() == 4) {
            quint32 networkOrder = 0;
            std::memcpy(&networkOrder, value.data(), 4);
            entry.address = Ipv4Address::fromNetworkOrder(networkOrder);
            hasAddress = true;
        } else if (type == NDA_LLADDR) {
            entry.linkAddress = value.toByteArray();
        }
        // The last attribute need not carry its padding.
        pos = std::min(attributes.size(), pos + align4(length));
    }
    return true;
}

} // namespace

NeighbourMessages parseNeighbourMessages(QByteArrayView bytes)
{
    NeighbourMessages out;
    constexpr qsizetype header = sizeof(nlmsghdr);
    qsizetype pos = 0;
    while (bytes.size() - pos >= header) {
        const qsizetype length = at<quint32>(bytes, pos + offsetof(nlmsghdr, nlmsg_len));
        const quint16 type = at<quint16>(bytes, pos + offsetof(nlmsghdr, nlmsg_type));
        const quint16 flags = at<quint16>(bytes, pos + offsetof(nlmsghdr, nlmsg_flags));
        if (length < header || length > bytes.size() - pos) {
            out.malformed = true;
            return out;
        }
        const QByteArrayView body = bytes.sliced(pos + header, length - header);
        if (flags & NLM_F_DUMP_INTR)
            out.dumpInterrupted = true;
        if (type == NLMSG_DONE) {
            out.dumpDone = true;
        } else if (type == NLMSG_ERROR) {
            // An error code of 0 acknowledges a request.
            if (body.size() < qsizetype(sizeof(int))) {
                out.malformed = true;
                return out;
            }
            const int code = at<qint32>(body, 0);
            if (code < 0)
                out.error = code == INT_MIN ? INT_MAX : -code;
        } else if (type == RTM_NEWNEIGH || type == RTM_DELNEIGH) {
            if (body.size() < qsizetype(sizeof(ndmsg))) {
                out.malformed = true;
                return out;
            }
            if (at<quint8>(body, offsetof(ndmsg, ndm_family)) == AF_INET) {
                NeighbourEntry entry;
                entry.interfaceIndex = at<qint32>(body, offsetof(ndmsg, ndm_ifindex));
                entry.state = at<quint16>(body, offsetof(ndmsg, ndm_state));
                entry.removed = type == RTM_DELNEIGH;
                bool hasAddress = false;
                const qsizetype fixed = align4(sizeof(ndmsg));
                if (!readAttributes(body.sliced(std::min(body.size(), fixed)), entry, hasAddress)) {
                    out.malformed = true;
                    return out;
                }
                if (hasAddress)
                    out.entries.append(entry);
            }
        }
        // A message's length counts no padding after it; the next one
        // starts aligned.
        pos = std::min(bytes.size(), pos + align4(length));
    }
    if (pos != bytes.size())
        out.malformed = true; // a piece too short to be a header
    return out;
}

QByteArray neighbourDumpRequest(quint32 sequence)
{
    struct {
        nlmsghdr header;
        ndmsg neighbour;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.neighbour.ndm_family = AF_INET;
    return QByteArray(reinterpret_cast<const char *>(&request), sizeof request);
}

#include "ping/IcmpTypes.h"

QString IcmpErrorText(std::uint32_t code)
{
    switch (code) {
    case IP_SUCCESS:
        return QStringLiteral("No error");
    case IP_BUF_TOO_SMALL:
        return QStringLiteral("Buffer too small");
    case IP_DEST_NET_UNREACHABLE:
        return QStringLiteral("Destination network unreachable");
    case IP_DEST_HOST_UNREACHABLE:
        return QStringLiteral("Destination host unreachable");
    case IP_DEST_PROT_UNREACHABLE:
        return QStringLiteral("Destination protocol unreachable");
    case IP_DEST_PORT_UNREACHABLE:
        return QStringLiteral("Destination port unreachable");
    case IP_NO_RESOURCES:
        return QStringLiteral("No resources");
    case IP_BAD_OPTION:
        return QStringLiteral("Bad option");
    case IP_HW_ERROR:
        return QStringLiteral("Hardware error");
    case IP_PACKET_TOO_BIG:
        return QStringLiteral("Packet too big");
    case IP_REQ_TIMED_OUT:
        return QStringLiteral("Request timed out");
    case IP_BAD_REQ:
        return QStringLiteral("Bad request");
    case IP_BAD_ROUTE:
        return QStringLiteral("Bad route");
    case IP_TTL_EXPIRED_TRANSIT:
        return QStringLiteral("TTL expired in transit");
    case IP_TTL_EXPIRED_REASSEM:
        return QStringLiteral("TTL expired in reassembly");
    case IP_PARAM_PROBLEM:
        return QStringLiteral("Parameter problem");
    case IP_SOURCE_QUENCH:
        return QStringLiteral("Source quench");
    case IP_OPTION_TOO_BIG:
        return QStringLiteral("Option too big");
    case IP_BAD_DESTINATION:
        return QStringLiteral("Bad Destination");
    case IP_ADDR_DELETED:
        return QStringLiteral("Address deleted");
    case IP_SPEC_MTU_CHANGE:
        return QStringLiteral("Spec MTU change");
    case IP_MTU_CHANGE:
        return QStringLiteral("MTU change");
    case IP_GENERAL_FAILURE:
        return QStringLiteral("General failure");
    case IP_PENDING:
        return QStringLiteral("Pending");
    default:
        return QStringLiteral("ICMP error #") + QString::number(code);
    }
}

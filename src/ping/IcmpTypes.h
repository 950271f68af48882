#pragma once

#include <QString>
#include <cstdint>

// The IP status codes an echo can end with (base 11000).
enum IpStatus : std::uint32_t {
    IP_SUCCESS = 0,
    IP_BUF_TOO_SMALL = 11001,
    IP_DEST_NET_UNREACHABLE = 11002,
    IP_DEST_HOST_UNREACHABLE = 11003,
    IP_DEST_PROT_UNREACHABLE = 11004,
    IP_DEST_PORT_UNREACHABLE = 11005,
    IP_NO_RESOURCES = 11006,
    IP_BAD_OPTION = 11007,
    IP_HW_ERROR = 11008,
    IP_PACKET_TOO_BIG = 11009,
    IP_REQ_TIMED_OUT = 11010,
    IP_BAD_REQ = 11011,
    IP_BAD_ROUTE = 11012,
    IP_TTL_EXPIRED_TRANSIT = 11013,
    IP_TTL_EXPIRED_REASSEM = 11014,
    IP_PARAM_PROBLEM = 11015,
    IP_SOURCE_QUENCH = 11016,
    IP_OPTION_TOO_BIG = 11017,
    IP_BAD_DESTINATION = 11018,
    IP_ADDR_DELETED = 11019,
    IP_SPEC_MTU_CHANGE = 11020,
    IP_MTU_CHANGE = 11021,
    IP_GENERAL_FAILURE = 11050,
    IP_PENDING = 11255,
};

// Options of a request or a reply: time to live, type of service, flags.
struct IpOptionInformation {
    std::uint8_t Ttl = 0;
    std::uint8_t Tos = 0;
    std::uint8_t Flags = 0;
    std::uint8_t OptionsSize = 0;
    std::uint32_t OptionsData = 0; // no option data is ever kept
};

// The 28-byte record of the first reply. The two data slots are kept for the
// record's layout only; the numeric members carry the outcome.
struct IcmpEchoReply {
    std::uint32_t Address = 0;       // replying (or reporting) host, network byte order
    std::uint32_t Status = 0;        // IpStatus
    std::uint32_t RoundTripTime = 0; // milliseconds
    std::uint16_t DataSize = 0;      // bytes of echoed data
    std::uint16_t Reserved = 0;
    std::uint32_t Data = 0;
    IpOptionInformation Options;
};
static_assert(sizeof(IcmpEchoReply) == 28, "the reply record is 28 bytes");

// "No error", "Request timed out", ... or "ICMP error #<code>".
QString IcmpErrorText(std::uint32_t code);

// Echo request flag: do not fragment.
constexpr int IP_FLAG_DF = 0x2;

#include "resources/PingResult.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<PingOutcome, const char *>, 14> kKeys = {{
    {PingOutcome::Reply, "reply"},
    {PingOutcome::UnknownHost, "unknown-host"},
    {PingOutcome::TimedOut, "timed-out"},
    {PingOutcome::NetUnreachable, "net-unreachable"},
    {PingOutcome::HostUnreachable, "host-unreachable"},
    {PingOutcome::ProtocolUnreachable, "protocol-unreachable"},
    {PingOutcome::PortUnreachable, "port-unreachable"},
    {PingOutcome::TtlExpired, "ttl-expired"},
    {PingOutcome::PacketTooBig, "packet-too-big"},
    {PingOutcome::BadDestination, "bad-destination"},
    {PingOutcome::NoEchoService, "no-echo-service"},
    {PingOutcome::Failed, "failed"},
    {PingOutcome::Aborted, "aborted"},
    {PingOutcome::UpWithoutEcho, "up-without-echo"},
}};

} // namespace

QString outcomeKey(PingOutcome outcome)
{
    for (const auto &[o, key] : kKeys)
        if (o == outcome)
            return QLatin1String(key);
    return QStringLiteral("failed");
}

std::optional<PingOutcome> outcomeFromKey(QStringView key)
{
    for (const auto &[o, k] : kKeys)
        if (key == QLatin1String(k))
            return o;
    return std::nullopt;
}

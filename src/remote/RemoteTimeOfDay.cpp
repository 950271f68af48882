#include "remote/RemoteTimeOfDay.h"

#include "remote/MachineFinder.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace {

using namespace std::chrono_literals;

constexpr auto kConnectTimeout = 1500ms;
constexpr quint64 kUnixEpoch = 116444736000000000ull; // 1970-01-01 as a FILETIME
constexpr quint64 kTicksPerSecond = 10'000'000;       // of 100 ns

QByteArray randomBytes(int n)
{
    QByteArray out(n, Qt::Uninitialized);
    for (char &c : out)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return out;
}

// One connection, one request, one answer. DROPPED tells whether another
// request might fare better: the server closed the connection or refused.
quint32 negotiate(Endpoint server, const QByteArray &request, smb::ServerTime &time, const Deadline &deadline,
                  bool &dropped)
{
    dropped = false;
    Socket socket = Socket::connectTcp(server, deadline.sooner(kConnectTimeout));
    if (!socket.valid())
        return deadline.passed() ? ERROR_SEM_TIMEOUT : ERROR_BAD_NETPATH;
    if (!socket.sendAll(request, deadline))
        return ERROR_SEM_TIMEOUT;
    QByteArray stream;
    for (;;) {
        const smb::NegotiateReply reply = smb::readNegotiateReply(stream);
        switch (reply.kind) {
        case smb::NegotiateReply::Time:
            time = reply.time;
            return NERR_Success;
        case smb::NegotiateReply::Refused:
            dropped = true;
            return ERROR_UNEXP_NET_ERR;
        case smb::NegotiateReply::Malformed:
            return ERROR_UNEXP_NET_ERR;
        case smb::NegotiateReply::Incomplete:
            break;
        }
        // The parser decides before the stream holds more than one whole
        // answer of the largest size it accepts; keep-alives before the
        // answer take no room.
        stream.remove(0, smb::keepAlivePrefix(stream));
        switch (socket.receiveSome(stream, 4 + smb::kMaxReply - stream.size(), deadline)) {
        case Socket::Read::Data:
            break;
        case Socket::Read::TimedOut:
            return ERROR_SEM_TIMEOUT;
        case Socket::Read::Closed:
        case Socket::Read::Failed:
            dropped = true;
            return ERROR_UNEXP_NET_ERR;
        }
    }
}

} // namespace

std::optional<TIME_OF_DAY_INFO> timeOfDay(const smb::ServerTime &time)
{
    if (time.fileTime < kUnixEpoch)
        return std::nullopt;
    const quint64 since = time.fileTime - kUnixEpoch;
    const quint64 seconds = since / kTicksPerSecond;
    if (seconds > 0xFFFFFFFFull)
        return std::nullopt;
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::UTC);
    TIME_OF_DAY_INFO info;
    info.tod_elapsedt = quint32(seconds);
    info.tod_msecs = quint32((time.fileTime / 10'000) & 0xFFFFFFFFull);
    info.tod_hours = quint32(utc.time().hour());
    info.tod_mins = quint32(utc.time().minute());
    info.tod_secs = quint32(utc.time().second());
    info.tod_hunds = quint32((since % kTicksPerSecond) / 100'000);
    info.tod_timezone = time.zoneMinutes;
    info.tod_tinterval = 0;
    info.tod_day = quint32(utc.date().day());
    info.tod_month = quint32(utc.date().month());
    info.tod_year = quint32(utc.date().year());
    info.tod_weekday = quint32(utc.date().dayOfWeek() % 7);
    return info;
}

quint32 readRemoteTime(Endpoint server, TIME_OF_DAY_INFO &info, const Deadline &deadline)
{
    smb::ServerTime time;
    bool dropped = false;
    quint32 status = negotiate(server, smb::smb1NegotiateRequest(), time, deadline, dropped);
    if (status != NERR_Success && dropped && !deadline.passed())
        status =
            negotiate(server, smb::smb2NegotiateRequest(randomBytes(16), randomBytes(32)), time, deadline, dropped);
    if (status != NERR_Success)
        return status;
    const auto read = timeOfDay(time);
    if (!read)
        return ERROR_UNEXP_NET_ERR;
    info = *read;
    return NERR_Success;
}

quint32 NetRemoteTOD(const QString &server, TIME_OF_DAY_INFO &info, const MachineFinder &finder)
{
    const auto address = finder.find(server);
    if (!address)
        return finder.deadline().passed() ? ERROR_SEM_TIMEOUT : ERROR_BAD_NETPATH;
    return readRemoteTime(Endpoint{*address, smb::kSmbPort}, info, finder.deadline());
}

#pragma once

#include "remote/SmbNegotiate.h"
#include "remote/Sockets.h"

#include <QString>
#include <QtGlobal>

#include <optional>

class MachineFinder;

// A remote machine's clock as Windows' NetRemoteTOD reports it: the time
// of day and date in UTC, and the machine's offset from UTC.
struct TIME_OF_DAY_INFO {
    quint32 tod_elapsedt = 0; // seconds since 1970-01-01 00:00 UTC
    quint32 tod_msecs = 0;    // milliseconds from an arbitrary start
    quint32 tod_hours = 0;
    quint32 tod_mins = 0;
    quint32 tod_secs = 0;
    quint32 tod_hunds = 0;
    qint32 tod_timezone = -1;  // minutes, UTC = local time + zone; -1: unknown
    quint32 tod_tinterval = 0; // the clock's tick in 0.1 ms; 0: unknown
    quint32 tod_day = 0;
    quint32 tod_month = 0;
    quint32 tod_year = 0;
    quint32 tod_weekday = 0; // 0 is Sunday

    friend bool operator==(const TIME_OF_DAY_INFO &, const TIME_OF_DAY_INFO &) = default;
};

// Status codes, as Windows' network calls return them.
constexpr quint32 NERR_Success = 0;
constexpr quint32 ERROR_BAD_NETPATH = 53;   // the machine is not found or does not take the connection
constexpr quint32 ERROR_UNEXP_NET_ERR = 59; // its answer is none we can read
constexpr quint32 ERROR_SEM_TIMEOUT = 121;  // it did not answer in time

// The twelve values for a clock read from an SMB negotiate answer; nothing
// for a time before 1970 or past what 32-bit seconds hold (2106). The
// answer has neither a clock tick nor a boot time: the interval is 0 and
// the milliseconds count from 1601, the start of the answer's clock.
std::optional<TIME_OF_DAY_INFO> timeOfDay(const smb::ServerTime &time);

// The stand-in for NetRemoteTOD: finds SERVER with FINDER and reads its
// clock from the SMB negotiate on TCP port 445, all before the finder's
// deadline. Fills INFO on NERR_Success.
quint32 NetRemoteTOD(const QString &server, TIME_OF_DAY_INFO &info, const MachineFinder &finder);

// The exchange alone, with a server at a known address and port: an SMB1
// negotiate first and, when the server drops it or accepts none of its
// dialects, an SMB2 negotiate on a new connection.
quint32 readRemoteTime(Endpoint server, TIME_OF_DAY_INFO &info, const Deadline &deadline);

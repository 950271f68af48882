#pragma once

#include "base/Ipv4.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>
#include <time.h>

// Addresses of the test network that testnet.sh builds; see that script.
namespace TestNet {
inline Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }
inline const char *const router = "10.201.0.1";
inline const char *const live1 = "10.201.2.1"; // "alpha"
inline const char *const live5 = "10.201.2.5";
inline const char *const dropped = "10.201.9.1";
inline const char *const rejected = "10.201.9.2";
inline const char *const noRoute = "10.201.7.1";    // the router answers network-unreachable
inline const char *const prohibited = "10.201.6.1"; // the client refuses to send
inline const char *const unreachable = "10.201.5.1";
inline const char *const switchedOff = "10.201.1.200"; // the router reports it after 100 ms

// The k-th of the hosts that answer (1 ..), that never answer (1 .. 60) and
// that answer behind the router's echo rate limit (1 .. 250).
inline QString live(int k) { return QStringLiteral("10.201.%1.%2").arg(2 + (k - 1) / 254).arg(1 + (k - 1) % 254); }
inline QString silent(int k) { return QStringLiteral("10.201.8.%1").arg(k); }
inline QString limited(int k) { return QStringLiteral("10.201.10.%1").arg(k); }

inline bool inside() { return qgetenv("LUMEO_TESTNET") == "1"; }

// Processor time this process has used, in milliseconds.
inline double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}
} // namespace TestNet

#define REQUIRE_TEST_NETWORK()                                                                                         \
    do {                                                                                                               \
        if (!TestNet::inside())                                                                                        \
            GTEST_SKIP() << "runs only inside the test network (tests/ping/testnet.sh)";                               \
    } while (0)

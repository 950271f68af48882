#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <optional>

// How the program pings: what each echo request is like and how many rows
// a sweep tests at once. The one place that holds their defaults and the
// ranges the echo service works with; values outside a range are refused,
// not clamped, wherever they come from (the Settings dialog, the settings
// file, the command line).
// The ports asked when no setting says otherwise: SMB, NetBIOS sessions,
// remote desktop, SSH and the web, what office machines of today listen on.
QList<quint16> defaultProbePorts();

struct EchoSettings {
    int size = 56;        // bytes of echo data
    int timeoutMs = 4000; // how long an answer is awaited
    int ttl = 64;         // time to live
    // How many rows a sweep has between their lookup and their outcome at
    // once. A sweep takes about one timeout as long as no more than this
    // many of the ticked hosts are silent; the send gap keeps the rate on the
    // wire the same whatever the number.
    int parallel = 1024;
    // TCP ports asked, all at once, when a row's echo gets no answer: a port
    // that takes the connection or refuses it proves the host up, and so
    // does an ARP answer on a directly connected subnet. None: no probes,
    // every silent row is down.
    QList<quint16> probePorts = defaultProbePorts();
    // How often the monitor repeats its sweep, in seconds.
    int monitorIntervalSeconds = 30;

    friend bool operator==(const EchoSettings &, const EchoSettings &) = default;
};

namespace EchoLimits {
constexpr int kMaxSize = 65535;
constexpr int kMaxTimeout = 2147483647;
constexpr int kMaxTTL = 255;
constexpr int kMinParallel = 1; // one after another
// Enough for a /20 at once: rows start no faster than the send gap allows,
// so how many are in flight only decides how many silent ones may wait
// together.
constexpr int kMaxParallel = 4096;
constexpr int kMinMonitorInterval = 5; // seconds
constexpr int kMaxMonitorInterval = 3600;
// The probes of a row end at most this long after its echo's timeout.
constexpr std::chrono::milliseconds kProbeBudget{1000};
// With rows in flight together, echo requests leave at least this long
// after one another: at most 1000 a second, the rate Linux allows its own
// ICMP messages by default, so a router that limits ICMP like that lets
// every request through. One row at a time needs no gap: each request
// waits for the answer to the one before.
constexpr std::chrono::microseconds kSendGap{1000};

// Empty when VALUE may be used; otherwise why not, in words for the user
// ("The data size must be between 0 and 65535, not 70000").
QString checkSize(qint64 value);
QString checkTimeout(qint64 value);
QString checkTTL(qint64 value);
QString checkParallel(qint64 value);
QString checkMonitorInterval(qint64 seconds);

// The probe ports as the settings file and the Settings dialog write them:
// "445,139,3389,22,80,443", or empty.
QString probePortsText(const QList<quint16> &ports);
// Reads such a text: numbers from 1 to 65535 separated by commas (blanks
// around them allowed), each once; empty (or blanks) for none. Nothing,
// with PROBLEM set for the user, for anything else.
std::optional<QList<quint16>> parseProbePorts(const QString &text, QString *problem = nullptr);
} // namespace EchoLimits

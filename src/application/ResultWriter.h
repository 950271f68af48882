#pragma once

#include "resources/ResourceRow.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <optional>
#include <span>
#include <vector>

// How the results of the rows are written out, by the command line
// (--format) and by the window's Export. Every format is UTF-8.
//
// CSV (RFC 4180, CRLF line ends) and JSON Lines carry the same fields in the
// same order, named by kResultFields:
//   resource, address, workgroup  the row's cells; the address is the one the
//                                 echo went to where the test knows it
//   host                          what the test asked for (name or address)
//   outcome                       outcomeKey(): "reply", "timed-out", ...
//   round_trip_us                 the round trip in whole microseconds
//   reply_bytes, ttl              the reply's echoed data size and time to live
//   status                        the echo's status code or the resolver's error
//   detail                        the failure's reason as the Message cell says it
//   tested_at                     ISO-8601 UTC to the second, "2025-03-01T10:15:30Z"
//   probe, probe_port, probe_mac,  what proved a host up whose echo got no
//   probe_us                      answer: "tcp-connected", "tcp-refused" or
//                                 "neighbour", the TCP port, the MAC address
//                                 (aa:bb:cc:dd:ee:ff) and how long it took
// A value the row does not have is an empty CSV field and a JSON null, and
// so is empty text; numbers are plain decimals. A row never tested has only
// its cells.
//
// OpenMetrics is the Prometheus text exposition, ending in "# EOF" (a comment
// to Prometheus' own parser, which node_exporter's textfile collector uses).
// Three gauges, labelled resource, address and workgroup: lumeo_up (1 the
// host answered, or a probe proved it up; 0 it did not), lumeo_rtt_seconds (only rows that answered)
// and lumeo_last_test_timestamp_seconds. A row whose outcome is not known,
// never tested or stopped by an abort, has no samples: a 0 in lumeo_up would
// claim the host is down. Two rows with the same labels would make the file
// unreadable to Prometheus, so only the first of them is written.
enum class ResultFormat {
    Text,
    Csv,
    JsonLines,
    OpenMetrics,
};

inline constexpr const char *kResultFields[] = {"resource",      "address",     "workgroup",  "host",      "outcome",
                                                "round_trip_us", "reply_bytes", "ttl",        "status",    "detail",
                                                "tested_at",     "probe",       "probe_port", "probe_mac", "probe_us"};

// The names --format takes: "text", "csv", "json", "openmetrics".
QString resultFormatName(ResultFormat format);
std::optional<ResultFormat> resultFormatFromName(QStringView name);
QStringList resultFormatNames();

// Writes rows in one format as bytes for the caller to put where it wants.
// Text, CSV and JSON Lines stream: start() once (CSV's header row), then
// each add() returns that row's line at once, and finish() nothing.
// OpenMetrics groups each metric's samples, so add() returns nothing and
// finish() the whole exposition. After finish() the writer starts afresh.
class ResultWriter {
public:
    explicit ResultWriter(ResultFormat format) : m_format(format) {}

    ResultFormat format() const { return m_format; }
    bool streams() const { return m_format != ResultFormat::OpenMetrics; }

    QByteArray start() const;
    QByteArray add(const ResourceRow &row);
    QByteArray finish();

private:
    // What OpenMetrics keeps of a row until finish().
    struct Series {
        QByteArray labels; // {resource="...",address="...",workgroup="..."}
        bool up = false;
        std::optional<qint64> roundTripMicroseconds;
        std::optional<qint64> testedAt; // seconds since the Unix epoch
    };

    ResultFormat m_format;
    std::vector<Series> m_series;
    QSet<QByteArray> m_labelSets;
};

// All of ROWS in one go: start(), add() for each row, finish().
QByteArray writeResults(ResultFormat format, std::span<const ResourceRow> rows);

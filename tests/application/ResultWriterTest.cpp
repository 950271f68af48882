#include "application/ResultWriter.h"
#include "base/ProbeProof.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QDateTime kWhen = QDateTime::fromString(QStringLiteral("2025-03-01T10:15:30Z"), Qt::ISODate);

ResourceRow row(const QString &name, const QString &address, const QString &workgroup,
                std::optional<PingResult> result = std::nullopt)
{
    ResourceRow r = ResourceRow::created(name, address, workgroup);
    r.result = std::move(result);
    return r;
}

PingResult failure(PingOutcome outcome, const QString &host, const char *address, quint32 status, const QString &detail)
{
    return {outcome, host, Ipv4Address::fromText(QString::fromLatin1(address)), {}, {}, {}, status, detail, kWhen};
}

PingResult reply(const char *address, qint64 microseconds, QDateTime when = kWhen)
{
    PingResult r = failure(PingOutcome::Reply, QString::fromLatin1(address), address, 0, QString());
    r.roundTripMicroseconds = microseconds;
    r.replySize = 32;
    r.ttl = 64;
    r.when = when;
    return r;
}

QByteArray written(ResultFormat format, const std::vector<ResourceRow> &rows) { return writeResults(format, rows); }

} // namespace

TEST(ResultWriter, FormatNames)
{
    for (const QString &name : resultFormatNames())
        EXPECT_EQ(resultFormatName(resultFormatFromName(name).value()), name);
    EXPECT_EQ(resultFormatNames(), QStringList({"text", "csv", "json", "openmetrics"}));
    for (const char *unknown : {"", "JSON", "prometheus", "csv "})
        EXPECT_FALSE(resultFormatFromName(QString::fromLatin1(unknown))) << unknown;
}

TEST(ResultWriter, TextLines)
{
    ResourceRow stale = row("pc2", "10.0.0.1", "WG", reply("10.0.0.2", 410)); // the echo went elsewhere
    ResourceRow nameless = row("", "", "WG", reply("10.0.0.3", 410));
    nameless.result->host = QStringLiteral("nas");
    const struct {
        ResourceRow row;
        const char *line;
    } cases[] = {
        {row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 410)), "pc1 (10.0.0.1) is alive (0.41 ms)"},
        {row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 405)), "pc1 (10.0.0.1) is alive (0.41 ms)"},
        {row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 404)), "pc1 (10.0.0.1) is alive (0.40 ms)"},
        {row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 999995)), "pc1 (10.0.0.1) is alive (1000.00 ms)"},
        {row("10.0.0.7", "10.0.0.7", "WG", reply("10.0.0.7", 1000)), "10.0.0.7 is alive (1.00 ms)"},
        {stale, "pc2 (10.0.0.2) is alive (0.41 ms)"},
        {nameless, "nas (10.0.0.3) is alive (0.41 ms)"},
        {row("pc1", "10.0.0.1", "WG",
             failure(PingOutcome::TimedOut, "10.0.0.1", "10.0.0.1", 11010, QStringLiteral("Request timed out"))),
         "pc1 (10.0.0.1) is unreachable (Request timed out)"},
        {row("pc1", "10.0.0.1", "WG", failure(PingOutcome::HostUnreachable, "10.0.0.1", "10.0.0.1", 11003, "")),
         "pc1 (10.0.0.1) is unreachable (host-unreachable)"},
        {row("ghost", "", "WG", failure(PingOutcome::UnknownHost, "ghost", "", 11001, QStringLiteral("Unknown host"))),
         "ghost is an unknown host"},
        {row("pc9", "10.0.0.9", "WG"), "pc9 (10.0.0.9) is not tested"},
        {row("pc5", "10.0.0.5", "WG",
             failure(PingOutcome::UpWithoutEcho, "10.0.0.5", "10.0.0.5", 11010,
                     QStringLiteral("No echo reply; TCP 445 answered in 3 ms"))),
         "pc5 (10.0.0.5) is up without echo (TCP 445 answered in 3 ms)"},
        {row("pc9", "", "WG"), "pc9 is not tested"},
        {row("pc1", "10.0.0.1", "WG", failure(PingOutcome::Aborted, "10.0.0.1", "10.0.0.1", 0, "")),
         "pc1 (10.0.0.1) is not tested (the sweep was stopped)"},
        // Control characters and line breaks would reach the terminal.
        {row("evil\x1b[2J\r\nname\u2028", "10.0.0.1", "WG",
             failure(PingOutcome::Failed, "10.0.0.1", "10.0.0.1", 1, QStringLiteral("bad\nreason\t"))),
         "evil?[2J??name? (10.0.0.1) is unreachable (bad?reason?)"},
        {row("B\u00fccher-\u03a9, \"\u6771\u4eac\"", "", "WG"), "B\u00fccher-\u03a9, \"\u6771\u4eac\" is not tested"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(written(ResultFormat::Text, {c.row}), QByteArray(c.line) + '\n') << c.line;
}

// What parsers forgive: CSV's line ends, OpenMetrics' duplicate series.
// Rows stopped or never tested are no metric samples.
TEST(ResultWriter, WholeOutputs)
{
    QDateTime inBerlin = kWhen.toTimeZone(QTimeZone("Europe/Berlin"));
    const std::vector<ResourceRow> rows = {
        row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 410, inBerlin)),
        row("pc2", "10.0.0.2", "WG",
            failure(PingOutcome::TimedOut, "10.0.0.2", "10.0.0.2", 11010, QStringLiteral("Request timed out"))),
        row("pc3", "10.0.0.3", ""),
        row("pc4", "10.0.0.4", "WG", failure(PingOutcome::Aborted, "10.0.0.4", "10.0.0.4", 0, "")),
        row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 999)), // the same labels again
        row("a\\\"\n", "", "", failure(PingOutcome::UnknownHost, "a", "", 11001, "")),
    };
    EXPECT_EQ(written(ResultFormat::Csv, rows),
              "resource,address,workgroup,host,outcome,round_trip_us,reply_bytes,ttl,status,detail,tested_at,probe,"
              "probe_port,probe_mac,probe_us\r\n"
              "pc1,10.0.0.1,WG,10.0.0.1,reply,410,32,64,0,,2025-03-01T10:15:30Z,,,,\r\n"
              "pc2,10.0.0.2,WG,10.0.0.2,timed-out,,,,11010,Request timed out,2025-03-01T10:15:30Z,,,,\r\n"
              "pc3,10.0.0.3,,,,,,,,,,,,,\r\n"
              "pc4,10.0.0.4,WG,10.0.0.4,aborted,,,,0,,2025-03-01T10:15:30Z,,,,\r\n"
              "pc1,10.0.0.1,WG,10.0.0.1,reply,999,32,64,0,,2025-03-01T10:15:30Z,,,,\r\n"
              "\"a\\\"\"\n\",,,a,unknown-host,,,,11001,,2025-03-01T10:15:30Z,,,,\r\n");
    EXPECT_EQ(written(ResultFormat::OpenMetrics, rows),
              "# HELP lumeo_up Whether the resource was up at its last test (1: it answered the echo, or a probe "
              "proved it up) or not (0).\n"
              "# TYPE lumeo_up gauge\n"
              "lumeo_up{resource=\"pc1\",address=\"10.0.0.1\",workgroup=\"WG\"} 1\n"
              "lumeo_up{resource=\"pc2\",address=\"10.0.0.2\",workgroup=\"WG\"} 0\n"
              "lumeo_up{resource=\"a\\\\\\\"\\n\",address=\"\",workgroup=\"\"} 0\n"
              "# HELP lumeo_rtt_seconds Round trip of the last echo reply, in seconds.\n"
              "# TYPE lumeo_rtt_seconds gauge\n"
              "lumeo_rtt_seconds{resource=\"pc1\",address=\"10.0.0.1\",workgroup=\"WG\"} 0.000410\n"
              "# HELP lumeo_last_test_timestamp_seconds When the resource was last tested, as a Unix time.\n"
              "# TYPE lumeo_last_test_timestamp_seconds gauge\n"
              "lumeo_last_test_timestamp_seconds{resource=\"pc1\",address=\"10.0.0.1\",workgroup=\"WG\"} 1740824130\n"
              "lumeo_last_test_timestamp_seconds{resource=\"pc2\",address=\"10.0.0.2\",workgroup=\"WG\"} 1740824130\n"
              "lumeo_last_test_timestamp_seconds{resource=\"a\\\\\\\"\\n\",address=\"\",workgroup=\"\"} 1740824130\n"
              "# EOF\n");
}

// The command line prints each row as its test ends: a streaming format
// gives each row's bytes at once, OpenMetrics all of them at the end, and
// a writer used again starts afresh.
TEST(ResultWriter, StreamsRowByRow)
{
    const std::vector<ResourceRow> rows = {row("pc1", "10.0.0.1", "WG", reply("10.0.0.1", 410)),
                                           row("pc2", "10.0.0.2", "WG")};
    for (const QString &name : resultFormatNames()) {
        ResultWriter writer(resultFormatFromName(name).value());
        for (int round = 0; round < 2; ++round) {
            QByteArray out = writer.start();
            for (const ResourceRow &r : rows) {
                const QByteArray line = writer.add(r);
                EXPECT_EQ(line.isEmpty(), !writer.streams()) << name.toStdString();
                out += line;
            }
            out += writer.finish();
            EXPECT_EQ(out, written(writer.format(), rows)) << name.toStdString() << " round " << round;
        }
    }
}

namespace {

// Debian's python3-* packages are installed for Debian's own interpreter;
// a python3 ahead of it on PATH (pyenv, a virtual environment) lacks them.
QString python()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QStringLiteral("python3");
}

// Runs SCRIPT with INPUT on its standard input; what it prints is JSON.
QJsonArray parsedByPython(const char *script, const QByteArray &input)
{
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QString::fromUtf8(script)});
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << "python3 did not start: run scripts/install-deps";
        return {};
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        ADD_FAILURE() << "python3 did not end within a minute";
        return {};
    }
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString() << "\ninput:\n" << input.toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// Compared as text, so that a failure shows the values.
QString jsonText(const QJsonValue &value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
}

const char *const kCsvReader = R"(
import csv, io, json, sys
text = sys.stdin.buffer.read().decode('utf-8')
print(json.dumps(list(csv.reader(io.StringIO(text, newline=''), strict=True))))
)";

// Each object as [key, value] pairs, to keep the order of its keys.
const char *const kJsonLinesReader = R"(
import datetime, json, sys
text = sys.stdin.buffer.read().decode('utf-8')
assert text.endswith('\n')
rows = [json.loads(line) for line in text[:-1].split('\n')]
for r in rows:
    if r['tested_at'] is not None:
        datetime.datetime.strptime(r['tested_at'], '%Y-%m-%dT%H:%M:%SZ')
print(json.dumps([list(r.items()) for r in rows]))
)";

// Prometheus' text parser, then the stricter OpenMetrics one.
const char *const kMetricsReader = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families as prometheus
from prometheus_client.openmetrics.parser import text_string_to_metric_families as openmetrics
text = sys.stdin.buffer.read().decode('utf-8')
print(json.dumps([[[f.name, f.type, [[s.name, s.labels, s.value] for s in f.samples]] for f in parse(text)]
                  for parse in (prometheus, openmetrics)]))
)";

// Names that network or user typed them: separators of every format,
// escapes, line breaks and text beyond ASCII, with each row's fields as
// the parsers must read them back.
struct HostileRow {
    ResourceRow row;
    QJsonArray fields; // in the order of kResultFields
};

std::vector<HostileRow> hostileRows()
{
    const QJsonValue null;
    PingResult stopped = failure(PingOutcome::Aborted, "10.0.0.10", "10.0.0.10", 0, "");
    PingResult slow = reply("10.0.0.11", 1234567);
    slow.ttl = 1;
    const QString tcpWhy = QStringLiteral("No echo reply; TCP 445 answered in 3 ms");
    PingResult byTcp = failure(PingOutcome::UpWithoutEcho, "10.0.0.12", "10.0.0.12", 11010, tcpWhy);
    byTcp.probe = ProbeProof{ProbeProof::Kind::TcpRefused, 445, {}, 3400};
    const QString arpWhy = QStringLiteral("No echo reply; answers ARP as 52:54:00:12:34:56");
    PingResult byArp = failure(PingOutcome::UpWithoutEcho, "10.0.0.13", "10.0.0.13", 11010, arpWhy);
    byArp.probe = ProbeProof{ProbeProof::Kind::Neighbour, 0, QByteArray::fromHex("525400123456"), 800};
    return {
        {row("silent, \"up\"", "10.0.0.12", "WG", byTcp),
         {"silent, \"up\"", "10.0.0.12", "WG", "10.0.0.12", "up-without-echo", null, null, null, 11010, tcpWhy,
          "2025-03-01T10:15:30Z", "tcp-refused", 445, null, 3400}},
        {row("arp-only", "10.0.0.13", "WG", byArp),
         {"arp-only", "10.0.0.13", "WG", "10.0.0.13", "up-without-echo", null, null, null, 11010, arpWhy,
          "2025-03-01T10:15:30Z", "neighbour", null, "52:54:00:12:34:56", 800}},
        {row("Smith, \"J\" \\ Laptop", "10.0.0.5", "Sales\r\nFloor 2", reply("10.0.0.5", 410)),
         {"Smith, \"J\" \\ Laptop", "10.0.0.5", "Sales\r\nFloor 2", "10.0.0.5", "reply", 410, 32, 64, 0, null,
          "2025-03-01T10:15:30Z", null, null, null, null}},
        {row("B\u00fccher-\u03a9 \u6771\u4eac\\", "", "WG\n",
             failure(PingOutcome::TimedOut, "B\u00fccher", "10.0.0.6", 11010, "Request \"timed\" out,\r\nagain")),
         {"B\u00fccher-\u03a9 \u6771\u4eac\\", "10.0.0.6", "WG\n", "B\u00fccher", "timed-out", null, null, null, 11010,
          "Request \"timed\" out,\r\nagain", "2025-03-01T10:15:30Z", null, null, null, null}},
        {row("C:\\", "", "\\\\", failure(PingOutcome::UnknownHost, "nas\\share\"x", "", 11001, "Unknown host")),
         {"C:\\", null, "\\\\", "nas\\share\"x", "unknown-host", null, null, null, 11001, "Unknown host",
          "2025-03-01T10:15:30Z", null, null, null, null}},
        {row("spare, unused\r", "10.0.0.9", ""),
         {"spare, unused\r", "10.0.0.9", null, null, null, null, null, null, null, null, null, null, null, null, null}},
        {row("pc\ttab\rx\x01", "10.0.0.10", "WG", stopped),
         {"pc\ttab\rx\x01", "10.0.0.10", "WG", "10.0.0.10", "aborted", null, null, null, 0, null,
          "2025-03-01T10:15:30Z", null, null, null, null}},
        {row("line\u2028sep\rcr\"", "10.0.0.11", "=1+1", slow),
         {"line\u2028sep\rcr\"", "10.0.0.11", "=1+1", "10.0.0.11", "reply", 1234567, 32, 1, 0, null,
          "2025-03-01T10:15:30Z", null, null, null, null}},
    };
}

std::vector<ResourceRow> rowsOf(const std::vector<HostileRow> &hostile)
{
    std::vector<ResourceRow> rows;
    for (const HostileRow &h : hostile)
        rows.push_back(h.row);
    return rows;
}

} // namespace

TEST(ResultWriterParsed, CsvByPythonsCsvModule)
{
    const std::vector<HostileRow> hostile = hostileRows();
    const QJsonArray records = parsedByPython(kCsvReader, written(ResultFormat::Csv, rowsOf(hostile)));
    ASSERT_EQ(records.size(), qsizetype(hostile.size()) + 1);
    QJsonArray header;
    for (const char *name : kResultFields)
        header.append(QString::fromLatin1(name));
    EXPECT_EQ(jsonText(records[0]), jsonText(header));
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        QJsonArray expected;
        for (const QJsonValue &field : hostile[i].fields)
            expected.append(field.isDouble() ? QString::number(field.toInteger()) : field.toString());
        EXPECT_EQ(jsonText(records[qsizetype(i) + 1]), jsonText(expected));
    }
}

TEST(ResultWriterParsed, JsonLinesByJsonLoads)
{
    const std::vector<HostileRow> hostile = hostileRows();
    const QJsonArray objects = parsedByPython(kJsonLinesReader, written(ResultFormat::JsonLines, rowsOf(hostile)));
    ASSERT_EQ(objects.size(), qsizetype(hostile.size()));
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        const QJsonArray pairs = objects[qsizetype(i)].toArray();
        ASSERT_EQ(pairs.size(), qsizetype(std::size(kResultFields))) << "row " << i;
        for (qsizetype f = 0; f < pairs.size(); ++f) {
            const QJsonArray pair = pairs[f].toArray();
            const QJsonValue expected = hostile[i].fields[f];
            EXPECT_EQ(pair[0].toString(), QString::fromLatin1(kResultFields[f])) << "row " << i;
            EXPECT_EQ(pair[1].type(), expected.type()) << "row " << i << " " << kResultFields[f]; // 410, not "410"
            EXPECT_EQ(jsonText(pair[1]), jsonText(expected)) << "row " << i << " " << kResultFields[f];
        }
    }
}

TEST(ResultWriterParsed, OpenMetricsByPrometheusParsers)
{
    const std::vector<HostileRow> hostile = hostileRows();
    // What each family must hold: tested rows with a known outcome only.
    QJsonArray up, rtt, testedAt;
    for (const HostileRow &h : hostile) {
        const QString outcome = h.fields[4].toString();
        if (outcome.isEmpty() || outcome == QLatin1String("aborted"))
            continue;
        const QJsonObject labels{
            {"resource", h.fields[0]}, {"address", h.fields[1].toString()}, {"workgroup", h.fields[2].toString()}};
        const bool isUp = outcome == QLatin1String("reply") || outcome == QLatin1String("up-without-echo");
        up.append(QJsonArray{"lumeo_up", labels, isUp ? 1.0 : 0.0});
        if (outcome == QLatin1String("reply"))
            rtt.append(QJsonArray{"lumeo_rtt_seconds", labels, h.fields[5].toDouble() / 1e6});
        testedAt.append(
            QJsonArray{"lumeo_last_test_timestamp_seconds", labels,
                       double(QDateTime::fromString(h.fields[10].toString(), Qt::ISODate).toSecsSinceEpoch())});
    }
    const QJsonArray families{QJsonArray{"lumeo_up", "gauge", up}, QJsonArray{"lumeo_rtt_seconds", "gauge", rtt},
                              QJsonArray{"lumeo_last_test_timestamp_seconds", "gauge", testedAt}};
    ASSERT_EQ(up.size(), 6);
    const QJsonArray parsed = parsedByPython(kMetricsReader, written(ResultFormat::OpenMetrics, rowsOf(hostile)));
    ASSERT_EQ(parsed.size(), 2) << "python3-prometheus-client missing? Run scripts/install-deps";
    EXPECT_EQ(jsonText(parsed[0]), jsonText(families)) << "Prometheus text parser";
    EXPECT_EQ(jsonText(parsed[1]), jsonText(families)) << "OpenMetrics parser";
}

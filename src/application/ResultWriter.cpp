#include "application/ResultWriter.h"

#include <QChar>
#include <QDateTime>
#include <QLatin1String>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>
#include <variant>

namespace {

constexpr std::array<std::pair<ResultFormat, const char *>, 4> kFormatNames = {{
    {ResultFormat::Text, "text"},
    {ResultFormat::Csv, "csv"},
    {ResultFormat::JsonLines, "json"},
    {ResultFormat::OpenMetrics, "openmetrics"},
}};

constexpr std::size_t kFieldCount = std::size(kResultFields);
static_assert(kFieldCount == 15, "fieldValues() fills the fields by their place");

// A field of a CSV row or JSON object: absent, text or a whole number.
using FieldValue = std::variant<std::monostate, QString, qint64>;

QString rowAddress(const ResourceRow &row)
{
    if (row.result && row.result->address)
        return row.result->address->toString();
    return row.subItem(siAddress);
}

// Empty text is as absent as a missing number: one rule for every field.
FieldValue textValue(const QString &text) { return text.isEmpty() ? FieldValue() : FieldValue(text); }

template <typename T>
FieldValue numberValue(const std::optional<T> &number)
{
    return number ? FieldValue(qint64(*number)) : FieldValue();
}

QString isoUtc(const QDateTime &when)
{
    // Seconds are what the Last Test cell shows; a fraction would only
    // make the column harder to read.
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
}

// In the order of kResultFields.
std::array<FieldValue, kFieldCount> fieldValues(const ResourceRow &row)
{
    std::array<FieldValue, kFieldCount> values{textValue(row.subItem(siResource)), textValue(rowAddress(row)),
                                               textValue(row.subItem(siWorkgroup))};
    if (!row.result)
        return values;
    const PingResult &r = *row.result;
    values[3] = textValue(r.host);
    values[4] = outcomeKey(r.outcome);
    values[5] = numberValue(r.roundTripMicroseconds);
    values[6] = numberValue(r.replySize);
    values[7] = numberValue(r.ttl);
    values[8] = qint64(r.status);
    values[9] = textValue(r.detail);
    values[10] = r.when.isValid() ? FieldValue(isoUtc(r.when)) : FieldValue();
    if (r.probe) {
        const ProbeProof &p = *r.probe;
        values[11] = QString::fromLatin1(p.kind == ProbeProof::Kind::TcpConnected ? "tcp-connected"
                                         : p.kind == ProbeProof::Kind::TcpRefused ? "tcp-refused"
                                                                                  : "neighbour");
        if (p.kind != ProbeProof::Kind::Neighbour)
            values[12] = qint64(p.port);
        else
            values[13] = QString::fromLatin1(p.mac.toHex(':'));
        values[14] = p.microseconds;
    }
    return values;
}

// UNITS of 10^-PLACES written as a plain decimal, "0.000410" or "1234.57".
QString fixedPoint(qint64 units, int places)
{
    qint64 scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    // A round trip is never negative; a clock that stepped back must not
    // write "0.-41".
    units = std::max<qint64>(units, 0);
    return QStringLiteral("%1.%2").arg(units / scale).arg(units % scale, places, 10, QLatin1Char('0'));
}

// --- text

// A name typed by a user or kept in a session file may hold control
// characters; on a terminal those would break the line or be obeyed.
QString terminalSafe(QString text)
{
    for (QChar &c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            c = QLatin1Char('?');
    }
    return text;
}

QString withReason(const QString &line, const QString &reason)
{
    return reason.isEmpty() ? line : line + QStringLiteral(" (") + reason + QLatin1Char(')');
}

QByteArray textLine(const ResourceRow &row)
{
    QString name = row.subItem(siResource);
    const QString address = rowAddress(row);
    if (name.isEmpty())
        name = row.result && !row.result->host.isEmpty() ? row.result->host : address;
    QString who = name;
    if (!address.isEmpty() && address != name)
        who += QStringLiteral(" (") + address + QLatin1Char(')');

    QString line;
    if (!row.result) {
        line = who + QStringLiteral(" is not tested");
    } else {
        const PingResult &r = *row.result;
        switch (r.outcome) {
        case PingOutcome::Reply:
            line = withReason(who + QStringLiteral(" is alive"),
                              r.roundTripMicroseconds
                                  ? fixedPoint((*r.roundTripMicroseconds + 5) / 10, 2) + QStringLiteral(" ms")
                                  : QString());
            break;
        case PingOutcome::UpWithoutEcho:
            line = withReason(who + QStringLiteral(" is up without echo"),
                              r.detail.startsWith(QLatin1String("No echo reply; ")) ? r.detail.mid(15) : r.detail);
            break;
        case PingOutcome::UnknownHost:
            // The detail would only say "Unknown host" once more.
            line = who + QStringLiteral(" is an unknown host");
            break;
        case PingOutcome::Aborted:
            line = who + QStringLiteral(" is not tested (the sweep was stopped)");
            break;
        default:
            line = withReason(who + QStringLiteral(" is unreachable"),
                              r.detail.isEmpty() ? outcomeKey(r.outcome) : r.detail);
            break;
        }
    }
    return terminalSafe(line).toUtf8() + '\n';
}

// --- CSV

QString csvField(const FieldValue &value)
{
    if (const qint64 *number = std::get_if<qint64>(&value))
        return QString::number(*number);
    const QString *text = std::get_if<QString>(&value);
    if (!text)
        return QString();
    if (!text->contains(QLatin1Char(',')) && !text->contains(QLatin1Char('"')) && !text->contains(QLatin1Char('\r'))
        && !text->contains(QLatin1Char('\n')))
        return *text;
    QString quoted = *text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvRecord(const QStringList &fields) { return fields.join(QLatin1Char(',')).toUtf8() + "\r\n"; }

QByteArray csvRow(const ResourceRow &row)
{
    QStringList fields;
    for (const FieldValue &value : fieldValues(row))
        fields.append(csvField(value));
    return csvRecord(fields);
}

// --- JSON Lines

void appendJsonString(QString &out, const QString &text)
{
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

QByteArray jsonLine(const ResourceRow &row)
{
    const std::array<FieldValue, kFieldCount> values = fieldValues(row);
    QString out = QStringLiteral("{");
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (i != 0)
            out += QLatin1Char(',');
        out += QLatin1Char('"') + QLatin1String(kResultFields[i]) + QStringLiteral("\":");
        if (const qint64 *number = std::get_if<qint64>(&values[i]))
            out += QString::number(*number);
        else if (const QString *text = std::get_if<QString>(&values[i]))
            appendJsonString(out, *text);
        else
            out += QLatin1String("null");
    }
    out += QLatin1Char('}');
    return out.toUtf8() + '\n';
}

// --- OpenMetrics

QString labelValue(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return text;
}

QByteArray labelSet(const ResourceRow &row)
{
    return QStringLiteral("{resource=\"%1\",address=\"%2\",workgroup=\"%3\"}")
        .arg(labelValue(row.subItem(siResource)), labelValue(rowAddress(row)), labelValue(row.subItem(siWorkgroup)))
        .toUtf8();
}

QByteArray family(const char *name, const char *help)
{
    return QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " gauge\n";
}

QByteArray sample(const char *name, const QByteArray &labels, const QString &value)
{
    return name + labels + ' ' + value.toLatin1() + '\n';
}

} // namespace

QString resultFormatName(ResultFormat format)
{
    for (const auto &[f, name] : kFormatNames)
        if (f == format)
            return QLatin1String(name);
    return QStringLiteral("text");
}

std::optional<ResultFormat> resultFormatFromName(QStringView name)
{
    for (const auto &[f, n] : kFormatNames)
        if (name == QLatin1String(n))
            return f;
    return std::nullopt;
}

QStringList resultFormatNames()
{
    QStringList names;
    for (const auto &[f, name] : kFormatNames)
        names.append(QLatin1String(name));
    return names;
}

QByteArray ResultWriter::start() const
{
    if (m_format != ResultFormat::Csv)
        return {};
    QStringList header;
    for (const char *name : kResultFields)
        header.append(QLatin1String(name));
    return csvRecord(header);
}

QByteArray ResultWriter::add(const ResourceRow &row)
{
    switch (m_format) {
    case ResultFormat::Text:
        return textLine(row);
    case ResultFormat::Csv:
        return csvRow(row);
    case ResultFormat::JsonLines:
        return jsonLine(row);
    case ResultFormat::OpenMetrics:
        break;
    }
    if (!row.result || row.result->outcome == PingOutcome::Aborted)
        return {};
    QByteArray labels = labelSet(row);
    if (m_labelSets.contains(labels))
        return {};
    m_labelSets.insert(labels);
    const PingResult &r = *row.result;
    // A host a probe proved up is up; only an echo has a round trip.
    Series series{std::move(labels), r.up(), std::nullopt, std::nullopt};
    if (r.answered())
        series.roundTripMicroseconds = r.roundTripMicroseconds;
    if (r.when.isValid())
        series.testedAt = r.when.toSecsSinceEpoch();
    m_series.push_back(std::move(series));
    return {};
}

QByteArray ResultWriter::finish()
{
    if (m_format != ResultFormat::OpenMetrics)
        return {};
    QByteArray out = family(
        "lumeo_up",
        "Whether the resource was up at its last test (1: it answered the echo, or a probe proved it up) or not (0).");
    for (const Series &s : m_series)
        out += sample("lumeo_up", s.labels, s.up ? QStringLiteral("1") : QStringLiteral("0"));
    out += family("lumeo_rtt_seconds", "Round trip of the last echo reply, in seconds.");
    for (const Series &s : m_series)
        if (s.roundTripMicroseconds)
            out += sample("lumeo_rtt_seconds", s.labels, fixedPoint(*s.roundTripMicroseconds, 6));
    out += family("lumeo_last_test_timestamp_seconds", "When the resource was last tested, as a Unix time.");
    for (const Series &s : m_series)
        if (s.testedAt)
            out += sample("lumeo_last_test_timestamp_seconds", s.labels, QString::number(*s.testedAt));
    out += "# EOF\n";
    m_series.clear();
    m_labelSets.clear();
    return out;
}

QByteArray writeResults(ResultFormat format, std::span<const ResourceRow> rows)
{
    ResultWriter writer(format);
    QByteArray out = writer.start();
    for (const ResourceRow &row : rows)
        out += writer.add(row);
    return out + writer.finish();
}

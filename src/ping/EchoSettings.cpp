#include "ping/EchoSettings.h"

#include <QStringList>

#include <algorithm>

namespace {

QString rangeText(const char *what, qint64 value, int low, int high)
{
    if (value >= low && value <= high)
        return QString();
    return QStringLiteral("%1 must be between %2 and %3, not %4")
        .arg(QLatin1String(what))
        .arg(low)
        .arg(high)
        .arg(value);
}

} // namespace

QString EchoLimits::checkSize(qint64 value) { return rangeText("The data size", value, 0, kMaxSize); }
QString EchoLimits::checkTimeout(qint64 value) { return rangeText("The timeout", value, 0, kMaxTimeout); }
QString EchoLimits::checkTTL(qint64 value) { return rangeText("The time to live", value, 0, kMaxTTL); }
QString EchoLimits::checkParallel(qint64 value)
{
    return rangeText("The number of simultaneous pings", value, kMinParallel, kMaxParallel);
}

QString EchoLimits::checkMonitorInterval(qint64 seconds)
{
    if (seconds >= kMinMonitorInterval && seconds <= kMaxMonitorInterval)
        return QString();
    return QStringLiteral("The monitor's interval must be between %1 and %2 seconds, not %3")
        .arg(kMinMonitorInterval)
        .arg(kMaxMonitorInterval)
        .arg(seconds);
}

QList<quint16> defaultProbePorts()
{
    // Built once, out of line: an initialiser list in every EchoSettings
    // costs a copy each time and trips GCC's uninitialised-use warning.
    static const QList<quint16> ports{445, 139, 3389, 22, 80, 443};
    return ports;
}

QString EchoLimits::probePortsText(const QList<quint16> &ports)
{
    QStringList parts;
    for (const quint16 port : ports)
        parts << QString::number(port);
    return parts.join(QLatin1Char(','));
}

std::optional<QList<quint16>> EchoLimits::parseProbePorts(const QString &text, QString *problem)
{
    QList<quint16> ports;
    if (text.trimmed().isEmpty())
        return ports;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const QString number = part.trimmed();
        const uint port = number.toUInt(&ok);
        const bool digits =
            !number.isEmpty() && std::all_of(number.cbegin(), number.cend(), [](QChar c) { return c.isDigit(); });
        if (!ok || !digits || port < 1 || port > 65535 || ports.contains(quint16(port))) {
            if (problem)
                *problem = QStringLiteral("The probe ports must be a list of port numbers from 1 to 65535 separated by "
                                          "commas, each once, such as \"445,139,3389,22,80,443\", or empty; not \"%1\"")
                               .arg(text);
            return std::nullopt;
        }
        ports << quint16(port);
    }
    return ports;
}

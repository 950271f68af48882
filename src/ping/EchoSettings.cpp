#include "ping/EchoSettings.h"

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

#include "remote/NTRemoteDateTime.h"

#include "base/Exception.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

quint32 TNTRemoteDateTime::GetRemoteTime(const QString &server, quint32 status, const TIME_OF_DAY_INFO &info)
{
    if (status != NERR_Success)
        return status;
    if (!QDate::isValid(int(info.tod_year), int(info.tod_month), int(info.tod_day)) || info.tod_year > 9999)
        throw Exception(QStringLiteral("Invalid argument to date encode"));
    if (!QTime::isValid(int(info.tod_hours), int(info.tod_mins), int(info.tod_secs)))
        throw Exception(QStringLiteral("Invalid argument to time encode"));

    Fields f;
    f.elapsed = info.tod_elapsedt;
    f.msecs = info.tod_msecs;
    f.secs = info.tod_secs;
    f.hunds = info.tod_hunds;
    f.interval = info.tod_tinterval;
    f.weekday = info.tod_weekday;
    f.zoneKnown = info.tod_timezone != -1;
    f.timeZoneMinutes = f.zoneKnown ? info.tod_timezone : 0;
    // UTC = local + zone, so the local time is the reported one minus the
    // zone; the date follows across midnight. The seconds never change.
    QDateTime when(QDate(int(info.tod_year), int(info.tod_month), int(info.tod_day)),
                   QTime(int(info.tod_hours), int(info.tod_mins), int(info.tod_secs)), Qt::UTC);
    when = when.addSecs(-qint64(f.timeZoneMinutes) * 60);
    f.hours = quint32(when.time().hour());
    f.mins = quint32(when.time().minute());
    f.day = quint32(when.date().day());
    f.month = quint32(when.date().month());
    f.year = quint32(when.date().year());

    m_server = server;
    m_fields = f;
    return status;
}

QString TNTRemoteDateTime::DateTimeText(const QLocale &locale) const
{
    const QDate date(int(m_fields.year), int(m_fields.month), int(m_fields.day));
    const QTime time(int(m_fields.hours), int(m_fields.mins), int(m_fields.secs));
    // The time is the server's, not in this machine's zone: no zone name.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') + locale.toString(time, timeFormat.trimmed());
}

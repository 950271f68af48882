#pragma once

#include "remote/RemoteTimeOfDay.h"

#include <QLocale>
#include <QString>
#include <QtGlobal>

// Keeps the last clock read from a remote machine, in that machine's local
// time where its offset from UTC is known, and writes it as text.
class TNTRemoteDateTime {
public:
    // The last answer kept; all zero until one is.
    struct Fields {
        quint32 elapsed = 0;
        quint32 msecs = 0;
        quint32 hours = 0;
        quint32 mins = 0;
        quint32 secs = 0;
        quint32 hunds = 0;
        qint32 timeZoneMinutes = 0; // 0 also when the answer had none
        quint32 interval = 0;
        quint32 day = 0;
        quint32 month = 0;
        quint32 year = 0;
        quint32 weekday = 0;
        bool zoneKnown = false;

        friend bool operator==(const Fields &, const Fields &) = default;
    };

    QString Server() const { return m_server; }
    void setServer(const QString &server) { m_server = server; }
    const Fields &fields() const { return m_fields; }

    // NetRemoteTOD answered STATUS and INFO for SERVER. On NERR_Success the
    // answer is kept: its date and time (whole seconds) moved by the whole
    // offset, in minutes, to the server's local time, with the seconds,
    // hundredths and weekday as received. Returns STATUS. Values that form
    // no date or time throw Exception, and nothing is kept.
    quint32 GetRemoteTime(const QString &server, quint32 status, const TIME_OF_DAY_INFO &info);

    // The kept date in LOCALE's (by default the user's) short format, a blank, and the kept time in
    // its long format without a time zone name.
    QString DateTimeText(const QLocale &locale = QLocale()) const;

private:
    QString m_server;
    Fields m_fields;
};

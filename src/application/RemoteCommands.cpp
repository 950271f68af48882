#include "application/RemoteCommands.h"

#include "remote/NTRemoteDateTime.h"

#include <QSysInfo>

QString SystemTimeText(const TNTRemoteDateTime &clock)
{
    const QString utc = clock.fields().zoneKnown ? QString() : QStringLiteral(" (UTC)");
    return QStringLiteral("System time on ") + clock.Server() + QStringLiteral(" is \r\n\r\n") + clock.DateTimeText()
           + utc + QStringLiteral("\r\n");
}

QString RemoteBusyText(const QString &machine)
{
    return QStringLiteral("Waiting for ") + machine + QStringLiteral("...");
}

bool GetSystemTimeVisible(OsFamily os)
{
    return os == OsFamily::WindowsNT || os == OsFamily::Linux;
}

OsFamily runningOsFamily()
{
    const QString kernel = QSysInfo::kernelType();
    if (kernel == QLatin1String("linux"))
        return OsFamily::Linux;
    if (kernel == QLatin1String("winnt"))
        return OsFamily::WindowsNT;
    return OsFamily::Other;
}

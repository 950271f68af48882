#include "application/RemoteCommands.h"

#include "remote/NTRemoteDateTime.h"

#include "sysinfo/SystemSummary.h"

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

bool GetSystemTimeVisible(const SystemSummary &os) { return os.IsNT || os.OSKind == osLinux; }

#pragma once

#include "sysinfo/OSKind.h"

#include <QString>
#include <QtGlobal>

// The process-wide description of the system the program runs on, worked
// out once and read-only afterwards: which system, the predicates the
// commands ask, the machine's name and its memory.
struct SystemSummary {
    TOSKind OSKind = osUnknown;
    QString CSDVersion;
    QString OSName;
    bool IsNT = false; // NT 3.x, NT 4, 2000, XP
    bool IsNT4 = false;
    bool IsNT5 = false; // 2000 or XP
    bool Is2000 = false;
    bool IsXP = false;
    bool Is95 = false;
    bool IsOSR2 = false;
    bool Is98 = false;
    bool Is98SE = false;
    bool IsME = false;
    QString MachineName; // upper case
    QString ClassRoot;
    qint64 TotalPhysMem = 0; // bytes; 64-bit, so that 2 GiB and more fit
};

// The summary of a system from what it reports of itself.
SystemSummary makeSystemSummary(const OSVersionRecord &version, const std::function<bool()> &sp6aHotfixInstalled,
                                const QString &machineName, qint64 totalPhysMem);

// The machine name: the host name up to its first dot, as it is written.
QString GetMachineName(const QString &hostName);

// The running system's summary, read on first use: kernel release and
// distribution, host name, physical memory.
const SystemSummary &systemSummary();

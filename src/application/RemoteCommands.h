#pragma once

#include <QString>

class TNTRemoteDateTime;

// The texts and rules of "Send message..." and "Get system time" that need
// no window.

inline const QString kCannotObtainDateTime = QStringLiteral("Cannot obtain datetime info.");

// The information box for the kept answer: the server as its row names
// it, then the date and time. A time without the server's offset is UTC,
// and says so.
QString SystemTimeText(const TNTRemoteDateTime &clock);

// What the status bar says when a remote command is refused because
// another one still waits for MACHINE.
QString RemoteBusyText(const QString &machine);

struct SystemSummary;

// Whether the "Get system time" items are shown: where remote clocks can
// be read, that is the NT family on Windows (NetRemoteTOD), and Linux
// (the SMB negotiate).
bool GetSystemTimeVisible(const SystemSummary &os);

#pragma once

#include <QString>
#include <QStringView>

// Names that other machines tell us (NetBIOS names and workgroups, browse
// lists, share names, host names from a reverse lookup) may hold any bytes.
// Where such a name enters the program it is made safe to show and to keep:
// every control character (C0, DEL and C1, so CR, LF and tab among them),
// the line and paragraph separators and the comma, which separates the
// fields of a session file, become kNetworkTextReplacement. Nothing is
// dropped, so two names that differ only there stay apart.
inline constexpr QChar kNetworkTextReplacement = u'?';

QString cleanNetworkText(QStringView text);

// Whether TEXT holds nothing that cleanNetworkText replaces.
bool isCleanNetworkText(QStringView text);

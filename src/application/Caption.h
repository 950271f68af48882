#pragma once

#include <QString>

// The main window's caption: "Lumeo", or with a session file
// "Lumeo - [name]", the name without its directory. While the network is
// watched, MONITORING (the status bar's "Monitoring: next round at ...")
// follows, so that it shows even where the status bar has no room for it:
// "Lumeo - [name] - Monitoring: next round at 12:04:30".
QString windowCaption(const QString &sessionFile, const QString &monitoring = QString());

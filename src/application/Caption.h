#pragma once

#include <QString>

// The main window's caption: "Lumeo", or with a session file
// "Lumeo - [name]", the name without its directory.
QString windowCaption(const QString &sessionFile);

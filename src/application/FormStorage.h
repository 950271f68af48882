#pragma once

#include "ping/EchoSettings.h"

#include <QList>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class SettingsStore;

// A text read as a boolean the way the stored values are: "True" or "False"
// in any case, or a whole number (0 is false). Anything else raises the
// conversion error.
bool textToBool(const QString &text);
QString boolToText(bool value);
// A text read as an integer after trimming blanks; anything else is 0.
int textToInt(const QString &text);
// The same for a value that is checked against a range before use: a whole
// number too long for an int keeps its size (saturated at 64 bits).
qint64 textToWideInt(const QString &text);
// Four integers split at blanks and commas; a missing or non-numeric part
// takes the matching default (or 0 where the defaults say so).
std::array<int, 4> textToFour(const QString &text, const std::array<int, 4> &defaults);
QString fourToText(const std::array<int, 4> &parts);

// The window's position and size as stored: the normal rectangle is left,
// top, right, bottom with right = left + width.
struct WindowPlacement {
    int flags = 0;
    int showCmd = 1; // 1 normal, 2 minimised, 3 maximised
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normal; // the window's position and size
};

// What the settings need to know about the screen of this session.
struct ScreenFacts {
    QSize resolution; // the primary screen, in pixels
    int pixelsPerInch = 96;
    QList<QRect> screens; // every screen's geometry
    bool canPlace = true; // false where the platform places windows itself
};

// The echo settings as the settings file keeps them: each value's name is
// written here once, and both reading and writing go through this table.
// A value is read from its text (a problem for the user when it cannot be
// used; SETTINGS then keeps what it holds) and written as text.
struct EchoSettingValue {
    const char *name;
    QString (*read)(const QString &text, EchoSettings &settings);
    QString (*write)(const EchoSettings &settings);
};
extern const EchoSettingValue kEchoSettingValues[6];

// Reads the echo settings from stored VALUES (names compared without
// regard to case) into SETTINGS, which holds what applies when a value is
// missing. A value out of range keeps what SETTINGS holds and is reported
// in REFUSED, one text each for the user.
void readEchoSettings(const QMap<QString, QString> &values, EchoSettings &settings, QStringList &refused);

// Everything of the window that persists, with the window's own defaults.
struct FormSettings {
    WindowPlacement placement;
    EchoSettings echo;
    int treeWidth = 185;
    QString dns = QStringLiteral("False"); // stored values are held as text
    QString lastFile;
    // Where the monitor logs its results; empty: nowhere.
    QString monitorLog;
    // Whether the list shows the statistics columns.
    bool statisticsColumns = false;
};

// What a restore found.
struct RestoreResult {
    // Where the window goes: apply `normal`'s size, and its position only
    // when `movePosition`.
    std::optional<QRect> normal;
    bool movePosition = false;
    // The settings file could not be used: the user is told this once.
    QString unreadable;
    // Values that were refused, one text each for the user.
    QStringList refused;
    // Whether the restore event (reopening the last file) runs.
    bool runRestoreEvent = false;
};

// Restores the window's settings once when it is first shown and saves them
// once when it closes; never saves without a restore, never twice, and never
// over a settings file that could not be read.
class TFormStorage {
public:
    explicit TFormStorage(SettingsStore &store) : m_store(store) {}

    // Reads the stored settings into `settings` (which holds the defaults).
    // A value out of range keeps the default and is reported.
    RestoreResult restore(FormSettings &settings, const ScreenFacts &screen);
    // Writes every value. `closing` is true when the close was confirmed,
    // false when the window is destroyed without it. Returns false when
    // nothing was written. Raises the store's error.
    bool save(const FormSettings &settings, const ScreenFacts &screen, bool closing);

    bool restored() const { return m_restored; }
    bool saved() const { return m_saved; }

    // The names of the placement values for a screen of `resolution`.
    static QString suffix(QSize resolution);

private:
    SettingsStore &m_store;
    bool m_restored = false;
    bool m_saved = false;
    bool m_readFailed = false;
};

#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <utility>

// Where the settings are kept between runs: named text values of one section.
// The window's settings logic talks to this interface, so that tests can keep
// the values in memory or in a file of their own.
class SettingsStore {
public:
    using Values = QList<std::pair<QString, QString>>;

    virtual ~SettingsStore() = default;
    // Every value of the section, by its name as stored. Nothing stored yet
    // (no file) is an empty map, not a failure. Raises Exception, with a text
    // for the user, when the values exist but cannot be read or make no sense.
    virtual QMap<QString, QString> read() = 0;
    // Replaces the stored values with `values`. Either all of them are stored
    // or, on failure (raised as Exception), the old ones stay as they were.
    virtual void write(const Values &values) = 0;
};

// The settings as an INI file, in the form QSettings reads and writes: the
// values live in the group "4.0".
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(QString path);
    // The user's settings file: $XDG_CONFIG_HOME/Korvell/Lumeo.ini (or
    // ~/.config/Korvell/Lumeo.ini).
    static QString defaultPath();
    // The group the values live in.
    static QString section();

    const QString &path() const { return m_path; }
    QMap<QString, QString> read() override;
    void write(const Values &values) override;

private:
    QString m_path;
};

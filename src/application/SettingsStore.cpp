#include "application/SettingsStore.h"

#include "base/AtomicFile.h"
#include "base/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace {

// A settings file is a few hundred bytes; anything much larger was not
// written by us and is not read into memory.
constexpr qint64 kMaxFileSize = 1024 * 1024;

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw Exception(
        QStringLiteral("The settings file %1 cannot be used: %2").arg(QDir::toNativeSeparators(path), reason));
}

// The text of a value as QSettings hands it back. A value with unquoted
// commas, written by hand or by another program, comes back as a list: it is
// joined again so that it reads as the one text it was.
QString valueText(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (value.canConvert<QString>())
        return value.toString();
    return QString(); // a typed value (@Rect, @Variant) is no text of ours
}

[[noreturn]] void failToSave(const QString &path, const QString &cause)
{
    throw Exception(
        QStringLiteral("The settings file %1 cannot be saved: %2").arg(QDir::toNativeSeparators(path), cause));
}

// The values as QSettings writes them, so that they read back through it the
// same. It writes into a folder of its own, where its own temporary and lock
// files cannot be left beside the settings and its failures, which carry no
// cause, do not stand for the settings folder's. `path` names the settings
// file in a failure.
QByteArray iniText(const QString &path, const SettingsStore::Values &values)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        failToSave(path, QStringLiteral("no temporary folder for its text: %1").arg(scratch.errorString()));
    const QString file = scratch.filePath(QStringLiteral("Lumeo.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setFallbacksEnabled(false);
        settings.beginGroup(IniSettingsStore::section());
        for (const auto &[name, text] : values)
            settings.setValue(name, text);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            failToSave(path,
                       QStringLiteral("its text cannot be made in %1").arg(QDir::toNativeSeparators(scratch.path())));
    }
    QFile text(file);
    if (!text.open(QIODevice::ReadOnly))
        failToSave(path, QStringLiteral("its text cannot be read back: %1").arg(text.errorString()));
    return text.readAll();
}

} // namespace

IniSettingsStore::IniSettingsStore(QString path) : m_path(std::move(path)) {}

QString IniSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Korvell/Lumeo.ini");
}

QString IniSettingsStore::section() { return QStringLiteral("4.0"); }

QMap<QString, QString> IniSettingsStore::read()
{
    QMap<QString, QString> values;
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return values;
    if (!info.exists())
        fail(m_path, QStringLiteral("it is a link to nothing"));
    if (!info.isFile())
        fail(m_path, QStringLiteral("it is not a regular file"));
    if (info.size() > kMaxFileSize)
        fail(m_path, QStringLiteral("it is larger than %1 bytes").arg(kMaxFileSize));

    // QSettings reads past what it cannot parse; look at the bytes first.
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        fail(m_path, file.errorString());
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        fail(m_path, file.errorString());
    if (bytes.contains('\0'))
        fail(m_path, QStringLiteral("it holds binary data"));
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString decoded = utf8.decode(bytes); // decoding is lazy until converted
    if (utf8.hasError())
        fail(m_path, QStringLiteral("it is not UTF-8 text"));

    QSettings settings(m_path, QSettings::IniFormat);
    settings.setFallbacksEnabled(false);
    if (settings.status() == QSettings::FormatError)
        fail(m_path, QStringLiteral("it is not in the settings format"));
    if (settings.status() == QSettings::AccessError)
        fail(m_path, QStringLiteral("it cannot be read"));
    settings.beginGroup(section());
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys)
        values.insert(key, valueText(settings.value(key)));
    return values;
}

void IniSettingsStore::write(const Values &values)
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        failToSave(m_path, QStringLiteral("its folder cannot be made"));
    if (const auto failure = replaceFileAtomically(m_path, iniText(m_path, values)))
        failToSave(m_path, failure->cause());
}

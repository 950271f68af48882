#include "application/SettingsStore.h"

#include "base/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariant>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A settings file is a few hundred bytes; anything much larger was not
// written by us and is not read into memory.
constexpr qint64 kMaxFileSize = 1024 * 1024;

QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw Exception(QStringLiteral("The settings file %1 cannot be used: %2").arg(QDir::toNativeSeparators(path), reason));
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

// Makes the renamed file's directory entry durable as well.
void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

IniSettingsStore::IniSettingsStore(QString path) : m_path(std::move(path)) {}

QString IniSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Korvell/Lumeo.ini");
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
    const QFileInfo target(m_path);
    // A link is followed, so that a settings file kept elsewhere stays there;
    // the new file is made beside the real one, on the same file system.
    const QString destination = target.isSymLink() && target.exists() ? target.canonicalFilePath() : m_path;
    const QString dir = QFileInfo(destination).absolutePath();
    if (!QDir().mkpath(dir))
        fail(m_path, QStringLiteral("its folder cannot be made"));

    // QSettings writes the text into a file of its own beside the old one;
    // only a complete, synced file replaces the old one, so a crash while
    // saving leaves the old settings whole.
    QTemporaryFile temporary(dir + QStringLiteral("/.Lumeo-XXXXXX.ini"));
    if (!temporary.open())
        fail(m_path, temporary.errorString());
    const QString temporaryPath = temporary.fileName();
    temporary.close();
    {
        QSettings settings(temporaryPath, QSettings::IniFormat);
        settings.setFallbacksEnabled(false);
        settings.beginGroup(section());
        for (const auto &[name, text] : values)
            settings.setValue(name, text);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            fail(m_path, QStringLiteral("the new settings could not be written"));
    }
    {
        const int fd = ::open(QFile::encodeName(temporaryPath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            const QString reason = systemReason();
            if (fd >= 0)
                ::close(fd);
            fail(m_path, reason);
        }
        ::close(fd);
    }
    if (::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(destination).constData()) != 0)
        fail(m_path, systemReason());
    temporary.setAutoRemove(false); // it is the settings file now
    syncDirectory(QFileInfo(destination).absolutePath());
}

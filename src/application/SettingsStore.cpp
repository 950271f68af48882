#include "application/SettingsStore.h"

#include "base/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

// Makes the renamed file's directory entry durable as well.
void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString systemCause(int error)
{
    QString cause = QString::fromLocal8Bit(std::strerror(error));
    if (!cause.isEmpty())
        cause[0] = cause[0].toLower();
    return cause;
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

// Writes `bytes` to a new file beside `destination`, syncs it and renames it
// over the old one: a full disk, a folder the user may not write or a crash
// at any point leaves the old settings whole. `path` is the name the user
// knows, for the message.
void replaceFile(const QString &path, const QString &destination, const QByteArray &bytes)
{
    const QString dir = QFileInfo(destination).absolutePath();
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(
            dir + QStringLiteral("/.Lumeo-%1.ini").arg(QRandomGenerator::global()->generate(), 0, 36));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        failToSave(path, systemCause(errno));
    const auto abandon = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        failToSave(path, systemCause(error));
    };
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno != EINTR)
            abandon(errno);
        if (n > 0)
            written += n;
    }
    if (::fsync(fd) != 0)
        abandon(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        abandon(errno);
    if (::rename(temporary.constData(), QFile::encodeName(destination).constData()) != 0)
        abandon(errno);
    syncDirectory(dir);
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
    const QFileInfo target(m_path);
    // A link is followed, so that a settings file kept elsewhere stays there;
    // the new file is made beside the real one, on the same file system.
    const QString destination = target.isSymLink() && target.exists() ? target.canonicalFilePath() : m_path;
    const QString dir = QFileInfo(destination).absolutePath();
    if (!QDir().mkpath(dir))
        failToSave(m_path, QStringLiteral("its folder cannot be made"));
    replaceFile(m_path, destination, iniText(m_path, values));
}

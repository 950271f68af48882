#include "base/AtomicFile.h"

#include "base/FileDescriptor.h"
#include "base/SystemError.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString FileReplaceFailure::cause() const
{
    return notRegularFile ? QStringLiteral("not a regular file") : systemErrorText(error, SystemTextCase::LowerFirst);
}

namespace {

FileReplaceFailure failureOf(int error) { return FileReplaceFailure{error, false}; }

FileReplaceFailure failureOf(const struct stat &st)
{
    return S_ISDIR(st.st_mode) ? failureOf(EISDIR) : FileReplaceFailure{0, true};
}

// The file a link leads to, through as many links as the system itself
// follows; a link to nothing yet leads to the name it gives, relative to
// the link's folder.
QByteArray followLinks(QByteArray target)
{
    struct stat st;
    for (int hops = 0; hops < 40 && ::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
        if (char *real = ::realpath(target.constData(), nullptr)) {
            target = real;
            ::free(real);
            break;
        }
        char link[4096];
        const ssize_t n = ::readlink(target.constData(), link, sizeof link - 1);
        if (n <= 0)
            break;
        const QByteArray pointee(link, n);
        const qsizetype slash = target.lastIndexOf('/');
        target = pointee.startsWith('/') || slash < 0 ? pointee : target.first(slash + 1) + pointee;
    }
    return target;
}

} // namespace

std::optional<FileReplaceFailure> replaceFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = followLinks(QFile::encodeName(path));
    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return failureOf(errno);
    if (exists) {
        if (!S_ISREG(st.st_mode))
            return failureOf(st);
        // A file its owner made read-only stays as it is, as it would if
        // it were written in place.
        FileDescriptor probe(::open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!probe.valid())
            return failureOf(errno);
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray directory = slash >= 0 ? target.first(slash + 1) : QByteArray();
    // Short enough for the longest name the file system takes.
    const QByteArray base = target.sliced(slash + 1).first(std::min<qsizetype>(target.size() - slash - 1, 200));
    QByteArray temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = directory + '.' + base + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST)
            break;
    }
    if (!fd.valid())
        return failureOf(errno);

    const auto abandon = [&](int error) {
        fd.reset();
        ::unlink(temporary.constData());
        return failureOf(error);
    };
    if (exists) {
        if (::fchmod(fd.get(), st.st_mode & 07777) != 0)
            return abandon(errno);
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)!::fchown(fd.get(), st.st_uid, st.st_gid); // only root may give a file away
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon(errno);
        }
        written += n;
    }
    if (::fsync(fd.get()) != 0)
        return abandon(errno);
    if (fd.close() != 0)
        return abandon(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return abandon(errno);
    // Makes the new name last across a power cut; the file is written
    // either way, so a failure here changes nothing for the caller.
    FileDescriptor dir(::open(directory.isEmpty() ? "." : directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        (void)::fsync(dir.get());
    return std::nullopt;
}

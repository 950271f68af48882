#include "application/ResultLog.h"

#include "base/SystemError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString openFailure(const QString &path, const QString &cause)
{
    return QStringLiteral("Cannot open file %1, %2").arg(path, cause);
}

} // namespace

std::optional<QString> ResultLog::open(const QString &path)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const auto refuse = [&](const QString &cause) {
        m_fd.reset();
        return openFailure(path, cause);
    };
    // Non-blocking, so that a FIFO is refused here instead of holding the
    // program until someone reads it.
    m_fd.reset(::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644));
    struct stat st;
    if (!m_fd.valid()) {
        const int error = errno;
        // A FIFO nobody reads fails with "no such device or address",
        // which would send the user looking for the wrong thing.
        if (error == ENXIO && ::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return refuse(QStringLiteral("not a regular file"));
        return refuse(systemErrorText(error, SystemTextCase::LowerFirst));
    }
    if (::fstat(m_fd.get(), &st) != 0)
        return refuse(systemErrorText(errno, SystemTextCase::LowerFirst));
    if (!S_ISREG(st.st_mode))
        return refuse(QStringLiteral("not a regular file"));
    const int flags = ::fcntl(m_fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(m_fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return refuse(systemErrorText(errno, SystemTextCase::LowerFirst));
    m_path = path;
    return std::nullopt;
}

std::optional<QString> ResultLog::append(const ResourceRow &row)
{
    if (!m_fd.valid())
        return QStringLiteral("Cannot write the result log, it is not open");
    if (!row.result)
        return std::nullopt;
    const QByteArray line = m_writer.add(row);
    // A line is a few hundred bytes: a regular file takes it whole in one
    // write, or reports why not. A short write (the disk filled up half-way
    // through) leaves a part; the next line starts on a fresh one, so that
    // a reader loses only the broken line.
    ssize_t written;
    do
        written = ::write(m_fd.get(), line.constData(), size_t(line.size()));
    while (written < 0 && errno == EINTR);
    if (written == line.size())
        return std::nullopt;
    const int error = written < 0 ? errno : ENOSPC;
    if (written > 0) {
        const char newline = '\n';
        [[maybe_unused]] const ssize_t ended = ::write(m_fd.get(), &newline, 1);
    }
    return QStringLiteral("Cannot write file %1, %2").arg(m_path, systemErrorText(error, SystemTextCase::LowerFirst));
}

void ResultLog::close()
{
    m_fd.reset();
    m_path.clear();
}

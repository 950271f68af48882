#pragma once

// Faults a save must survive: a disk that fills up, and a program killed
// while it writes.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// A tmpfs of `size` (as mount takes it, "64k") mounted on a new folder for
// the life of the object. Mounting needs root; without it `mounted()` is
// false and the test skips.
class SmallFileSystem {
public:
    SmallFileSystem(const QString &folder, const char *size) : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;
    bool mounted() const { return m_mounted; }

    // Takes every free block with one file, so that the next write of any
    // size fails for want of space. False when the disk did not fill.
    bool fill() const
    {
        const int fd = ::open((m_folder + "/filler").constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        static const char block[4096] = {};
        ssize_t n;
        while ((n = ::write(fd, block, sizeof block)) > 0) {
        }
        const bool full = n < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// Runs `save` over and over in a child process and kills that child by its
// PID (SIGKILL, which it cannot catch or delay) as soon as `halfWay` sees a
// save under way, or when `limitMs` has passed. Returns whether the kill
// came while `halfWay` held, or -1 when the child could not be started.
inline int killDuringSave(const std::function<void()> &save, const std::function<bool()> &halfWay, int limitMs = 5000)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        // Bounded too, in case the parent never kills it.
        QElapsedTimer running;
        running.start();
        while (running.elapsed() < 30000)
            save();
        ::_exit(0);
    }
    QElapsedTimer waited;
    waited.start();
    bool caught = false;
    while (!caught && waited.elapsed() < limitMs) {
        caught = halfWay();
        if (!caught)
            std::this_thread::yield();
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return caught && WIFSIGNALED(status) ? 1 : 0;
}

// The names in the folder other than `except`, hidden ones included: what a
// save in progress (or a save that was cut off) leaves beside the file.
inline QStringList othersIn(const QString &folder, const QString &except)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(except);
    return names;
}

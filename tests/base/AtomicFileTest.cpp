// Replacing a file's content whole, as the session file, the settings file
// and exports do: what is kept of the old file, and what is refused.

#include "base/AtomicFile.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class AtomicFiles : public TemporaryFiles {
protected:
    // Every name in FOLDER, hidden ones and links included: what a replace
    // may have left behind.
    static QStringList namesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    static mode_t modeOf(const QString &file)
    {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

} // namespace

TEST_F(AtomicFiles, MakesAFileOrReplacesTheOldOneWhole)
{
    EXPECT_FALSE(replaceFileAtomically(path("new.txt"), "first"));
    EXPECT_EQ(readBytes(path("new.txt")), "first");

    // The old file is replaced by a rename, never written over: a second
    // name for it still sees the old text whole.
    writeBytes(path("old.txt"), "the old text, longer than the new");
    ASSERT_EQ(::link(QFile::encodeName(path("old.txt")).constData(), QFile::encodeName(path("second.txt")).constData()),
              0);
    EXPECT_FALSE(replaceFileAtomically(path("old.txt"), "new"));
    EXPECT_EQ(readBytes(path("old.txt")), "new");
    EXPECT_EQ(readBytes(path("second.txt")), "the old text, longer than the new");
    EXPECT_FALSE(replaceFileAtomically(path("old.txt"), QByteArray()));
    EXPECT_TRUE(QFileInfo(path("old.txt")).isFile());
    EXPECT_EQ(QFileInfo(path("old.txt")).size(), 0);

    // A name without a folder is in the current one.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    EXPECT_FALSE(replaceFileAtomically("plain.txt", "plain"));
    EXPECT_EQ(readBytes(path("plain.txt")), "plain");

    EXPECT_EQ(namesIn(dir.path()), QStringList({"new.txt", "old.txt", "plain.txt", "second.txt"}));
}

// Each refusal gives the system's error number (or says the target is no
// regular file), leaves the old file as it was and nothing beside it.
TEST_F(AtomicFiles, ARefusedReplaceSaysWhyAndKeepsTheOldFile)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.txt"));
    writeBytes(path("taken.txt/inner"), "data");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    writeBytes(path("locked/old.txt"), "old");
    writeBytes(path("readonly.txt"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path("readonly.txt")).constData(), 0444), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    // Only things made here: a refusal that failed would replace them.
    ASSERT_TRUE(QFile::link(path("pipe.txt"), path("link-to-pipe.txt")));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    const auto closeSocket = qScopeGuard([&] { ::close(sock); });
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path("socket.txt"));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0555), 0);
    const auto unlock = qScopeGuard([&] { ::chmod(QFile::encodeName(path("locked")).constData(), 0755); });

    const struct {
        const char *file;
        int error;
        const char *cause;
        bool needsPermissions;
    } cases[] = {
        {"missing-folder/a.txt", ENOENT, "no such file or directory", false},
        {"taken.txt", EISDIR, "is a directory", false},
        {"pipe.txt", 0, "not a regular file", false},
        {"link-to-pipe.txt", 0, "not a regular file", false},
        {"socket.txt", 0, "not a regular file", false},
        {"locked/old.txt", EACCES, "permission denied", true},
        {"locked/new.txt", EACCES, "permission denied", true},
        {"readonly.txt", EACCES, "permission denied", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = path(c.file);
        // Never read the pipe: that would wait for a writer.
        const auto contents = [&] { return QFileInfo(file).isFile() ? readBytes(file) : QByteArray(); };
        const QByteArray before = contents();
        WithoutPermissionOverride asOwner; // root too is held to the permission bits
        if (c.needsPermissions && !asOwner.active()) {
            ADD_FAILURE() << "cannot drop the permission override";
            continue;
        }
        const std::optional<FileReplaceFailure> failure = replaceFileAtomically(file, "new text");
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->error, c.error);
        EXPECT_EQ(failure->notRegularFile, c.error == 0);
        EXPECT_EQ(failure->cause(), c.cause);
        EXPECT_EQ(contents(), before);
    }
    EXPECT_EQ(readBytes(path("taken.txt/inner")), "data");
    EXPECT_EQ(namesIn(path("locked")), QStringList({"old.txt"}));
    EXPECT_EQ(namesIn(dir.path()),
              QStringList({"link-to-pipe.txt", "locked", "pipe.txt", "readonly.txt", "socket.txt", "taken.txt"}));
}

TEST_F(AtomicFiles, TheOldFileKeepsItsPermissions)
{
    for (const mode_t mode : {0600, 0640, 0604, 0755, 0660}) {
        SCOPED_TRACE(mode);
        writeBytes(path("kept.txt"), "old");
        ASSERT_EQ(::chmod(QFile::encodeName(path("kept.txt")).constData(), mode), 0);
        EXPECT_FALSE(replaceFileAtomically(path("kept.txt"), "new"));
        EXPECT_EQ(readBytes(path("kept.txt")), "new");
        EXPECT_EQ(modeOf(path("kept.txt")), mode);
    }
}

// Only root may give a file away; root's replace keeps another user's file
// that user's.
TEST_F(AtomicFiles, TheOldFileKeepsItsOwnerWhereAllowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can hand a file to another user";
    const QByteArray file = QFile::encodeName(path("theirs.txt"));
    writeBytes(path("theirs.txt"), "old");
    ASSERT_EQ(::chown(file.constData(), 4321, 8765), 0);
    EXPECT_FALSE(replaceFileAtomically(path("theirs.txt"), "new"));
    struct stat st {};
    ASSERT_EQ(::stat(file.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(readBytes(path("theirs.txt")), "new");
}

// Replaced through a link, the link stays a link and the file it points at
// takes the text: one that is there, one not made yet (through a chain of
// relative links), one on another file system.
TEST_F(AtomicFiles, ALinkStaysALinkAndItsFileIsReplaced)
{
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/lumeo-XXXXXX"));
    const struct {
        const char *what;
        QString name;               // what the replace is given
        std::function<void()> make; // the links and the old file
        QString file;               // where the text must end up
        QStringList links;          // what must still be links
    } cases[] = {
        {"to a file",
         path("link.txt"),
         [&] {
             writeBytes(path("real.txt"), "old");
             QFile::link(path("real.txt"), path("link.txt"));
         },
         path("real.txt"),
         {path("link.txt")}},
        {"to nothing yet, through a second link",
         path("second.txt"),
         [&] {
             QDir(dir.path()).mkdir("sub");
             ::symlink("sub/new.txt", QFile::encodeName(path("first.txt")).constData());
             ::symlink("first.txt", QFile::encodeName(path("second.txt")).constData());
         },
         path("sub/new.txt"),
         {path("first.txt"), path("second.txt")}},
        {"to another file system",
         path("shm.txt"),
         [&] {
             writeBytes(elsewhere.filePath("real.txt"), "old");
             QFile::link(elsewhere.filePath("real.txt"), path("shm.txt"));
         },
         elsewhere.filePath("real.txt"),
         {path("shm.txt")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.file.startsWith("/dev/shm") && !elsewhere.isValid()) {
            std::printf("[  SKIPPED ] no /dev/shm here: a link to another file system is not tested\n");
            continue;
        }
        c.make();
        EXPECT_FALSE(replaceFileAtomically(c.name, "new"));
        EXPECT_EQ(readBytes(c.file), "new");
        for (const QString &link : c.links)
            EXPECT_TRUE(QFileInfo(link).isSymLink()) << link.toStdString();
        // Nothing is left beside the file.
        EXPECT_EQ(namesIn(QFileInfo(c.file).absolutePath()).filter(QStringLiteral(".txt.")), QStringList());
    }
}

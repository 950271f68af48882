// The monitor's result log: JSON Lines appended one write per line, read
// back by a JSON parser; what it refuses to open and the full disk it tells.
#include "application/ResultLog.h"
#include "application/ResultWriter.h"
#include "application/Workspace.h"
#include "resources/ResourceList.h"
#include "support/FakePlatform.h"
#include "support/Faults.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime kWhen(QDate(2025, 3, 1), QTime(10, 15, 30), Qt::UTC);

ResourceRow testedRow(const QString &name, const char *address, PingOutcome outcome,
                      std::optional<qint64> roundTrip = std::nullopt)
{
    ResourceRow row = ResourceRow::created(name, QString::fromLatin1(address), QStringLiteral("LAB"));
    PingResult r;
    r.outcome = outcome;
    r.host = QString::fromLatin1(address);
    r.address = Ipv4Address::fromText(r.host);
    r.roundTripMicroseconds = roundTrip;
    r.when = kWhen;
    if (outcome == PingOutcome::TimedOut)
        r.detail = QStringLiteral("Request timed out");
    row.result = r;
    return row;
}

// The file's lines, each parsed as a JSON object; a line that is no object
// fails the test.
std::vector<QJsonObject> objectsIn(const QString &path)
{
    std::vector<QJsonObject> objects;
    const QByteArray bytes = readBytes(path);
    EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith('\n'));
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_TRUE(doc.isObject()) << line.toStdString() << ": " << error.errorString().toStdString();
        objects.push_back(doc.object());
    }
    return objects;
}

using ResultLogTest = TemporaryFiles;

TEST_F(ResultLogTest, EachResultIsALineOfTheCommandLinesJson)
{
    const QString file = path("watch.jsonl");
    const ResourceRow rows[] = {
        testedRow("PC1", "10.0.0.1", PingOutcome::Reply, 412),
        testedRow("Front \"desk\"\n", "10.0.0.2", PingOutcome::TimedOut),
        ResourceRow::created("never tested", "10.0.0.3", "LAB"),
    };
    ResultLog log;
    EXPECT_FALSE(log.isOpen());
    ASSERT_EQ(log.open(file), std::nullopt);
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.path(), file);
    for (const ResourceRow &row : rows)
        EXPECT_EQ(log.append(row), std::nullopt);
    log.close();
    EXPECT_FALSE(log.isOpen());

    // Byte for byte what --format json prints for the tested rows.
    ResultWriter json(ResultFormat::JsonLines);
    EXPECT_EQ(readBytes(file), json.add(rows[0]) + json.add(rows[1]));
    const std::vector<QJsonObject> objects = objectsIn(file);
    ASSERT_EQ(objects.size(), 2u);
    QSet<QString> fields;
    for (const char *field : kResultFields)
        fields << QString::fromLatin1(field);
    for (const QJsonObject &o : objects) {
        const QStringList keys = o.keys();
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()), fields);
    }
    EXPECT_EQ(objects[0]["resource"].toString(), "PC1");
    EXPECT_EQ(objects[0]["outcome"].toString(), "reply");
    EXPECT_EQ(objects[0]["round_trip_us"].toInteger(), 412);
    EXPECT_EQ(objects[0]["tested_at"].toString(), "2025-03-01T10:15:30Z");
    EXPECT_EQ(objects[1]["resource"].toString(), "Front \"desk\"\n");
    EXPECT_EQ(objects[1]["outcome"].toString(), "timed-out");
    EXPECT_TRUE(objects[1]["round_trip_us"].isNull());
    EXPECT_EQ(log.append(rows[0]), "Cannot write the result log, it is not open");
}

TEST_F(ResultLogTest, AppendsToWhatIsThereAndToWhatAnotherWriterAppends)
{
    const QString file = path("watch.jsonl");
    const QByteArray earlier = R"({"resource":"earlier"})"
                               "\n";
    writeBytes(file, earlier);
    ResultLog first, second;
    ASSERT_EQ(first.open(file), std::nullopt);
    ASSERT_EQ(second.open(file), std::nullopt);
    // Each one's lines land after the other's, never over them.
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(first.append(testedRow(QStringLiteral("first %1").arg(i), "10.0.0.1", PingOutcome::Reply, i)),
                  std::nullopt);
        ASSERT_EQ(second.append(testedRow(QStringLiteral("second %1").arg(i), "10.0.0.2", PingOutcome::TimedOut)),
                  std::nullopt);
    }
    first.close();
    second.close();
    EXPECT_TRUE(readBytes(file).startsWith(earlier));
    const std::vector<QJsonObject> objects = objectsIn(file);
    ASSERT_EQ(objects.size(), 101u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(objects[size_t(1 + 2 * i)]["resource"].toString(), QStringLiteral("first %1").arg(i));
        EXPECT_EQ(objects[size_t(2 + 2 * i)]["resource"].toString(), QStringLiteral("second %1").arg(i));
    }
}

TEST_F(ResultLogTest, AMissingFileIsMadeReadableByAllLessTheUmask)
{
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        const QString file = path(mask == 022 ? "open.jsonl" : "private.jsonl");
        const mode_t before = ::umask(mask);
        ResultLog log;
        const auto failure = log.open(file);
        ::umask(before);
        ASSERT_EQ(failure, std::nullopt);
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
    }
}

TEST_F(ResultLogTest, RefusesWhatItCannotAppendTo)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("read pipe")).constData(), 0600), 0);
    // A reader on the second pipe: it opens, and still is no file.
    FileDescriptor reader(::open(QFile::encodeName(path("read pipe")).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.valid());
    QDir(dir.path()).mkdir("locked");
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0555), 0);

    struct Case {
        const char *name;
        QString path;
        QString cause;
        bool needsPermissions = false;
    };
    const Case cases[] = {
        {"a folder", dir.path(), "is a directory"},
        {"a FIFO nobody reads", path("pipe"), "not a regular file"},
        {"a FIFO that is read", path("read pipe"), "not a regular file"},
        {"a missing folder", path("gone/watch.jsonl"), "no such file or directory"},
        {"a folder the user may not write", path("locked/watch.jsonl"), "permission denied", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WithoutPermissionOverride asOwner; // root too is held to the permission bits, where it can be
        if (c.needsPermissions && ::geteuid() == 0 && !asOwner.active()) {
            // Root writes any folder; with the override it cannot drop,
            // the folder's bits refuse nothing to test.
            std::printf("skipped \"%s\": root cannot drop its permission override here\n", c.name);
            continue;
        }
        ResultLog log;
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(log.open(c.path), QStringLiteral("Cannot open file %1, %2").arg(c.path, c.cause));
        EXPECT_LT(t.elapsed(), 1000); // never waits for a reader
        EXPECT_FALSE(log.isOpen());
        EXPECT_TRUE(log.path().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(path("locked/watch.jsonl")));

    // A refusal closes what was open before.
    ResultLog log;
    ASSERT_EQ(log.open(path("watch.jsonl")), std::nullopt);
    EXPECT_NE(log.open(dir.path()), std::nullopt);
    EXPECT_FALSE(log.isOpen());
}

TEST_F(ResultLogTest, AFullDiskIsToldAndTheLinesBeforeItStayWhole)
{
    const QString folder = path("small");
    SmallFileSystem disk(folder, "16k");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the full disk is not tested";
    const QString file = folder + "/watch.jsonl";
    ResultLog log;
    ASSERT_EQ(log.open(file), std::nullopt);
    std::optional<QString> failure;
    int written = 0;
    // 16 KiB take some fifty lines; bounded in case the disk never fills.
    for (; written < 10000 && !failure; ++written)
        failure = log.append(testedRow(QStringLiteral("PC%1").arg(written), "10.0.0.1", PingOutcome::Reply, written));
    ASSERT_TRUE(failure);
    EXPECT_EQ(*failure, QStringLiteral("Cannot write file %1, no space left on device").arg(file));
    EXPECT_GT(written, 10);
    // The lines before the failure are whole and in order; the one that
    // failed may have left a part.
    QByteArray bytes = readBytes(file);
    if (!bytes.endsWith('\n'))
        bytes.truncate(bytes.lastIndexOf('\n') + 1);
    int k = 0;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isObject()) {
            EXPECT_EQ(k, written - 1) << "only the failed line may be broken";
            continue;
        }
        EXPECT_EQ(doc.object()["resource"].toString(), QStringLiteral("PC%1").arg(k++));
    }
    EXPECT_GE(k, written - 1);
}

// The window's and the monitor's sweeps run through the core: it appends
// each outcome while a log is set, nothing once it is unset, and tells a
// failed write once, closing the log.
TEST_F(ResultLogTest, TheCoreLogsEachOutcomeOfItsSweepsWhileALogIsSet)
{
    FakePlatform platform;
    Workspace workspace(platform.platform());
    const auto ip = [](const char *text) { return *Ipv4Address::fromText(QString::fromLatin1(text)); };
    platform.echo.channel->outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 3);
    platform.echo.channel->outcomes[ip("10.0.0.3")] = FakeEchoChannel::failure(IP_DEST_HOST_UNREACHABLE);
    ResourceList &list = workspace.list();
    list.append(ResourceRow::created(QStringLiteral("alpha"), QStringLiteral("10.0.0.1"), QStringLiteral("LAB")));
    list.append(ResourceRow::created(QStringLiteral("gone"), QStringLiteral("10.0.0.3"), QStringLiteral("LAB")));
    QStringList failed;
    QObject::connect(&workspace, &Workspace::resultLogFailed, &workspace, [&](const QString &why) { failed << why; });

    EXPECT_NE(workspace.setResultLog(dir.path()), std::nullopt) << "a folder is no log";
    EXPECT_EQ(workspace.resultLogPath(), QString());

    const QString file = path("results.jsonl");
    ASSERT_EQ(workspace.setResultLog(file), std::nullopt);
    EXPECT_EQ(workspace.resultLogPath(), file);
    ASSERT_TRUE(runSweep(workspace.sweep()));
    auto lines = objectsIn(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["resource"].toString(), "alpha");
    EXPECT_EQ(lines[0]["outcome"].toString(), "reply");
    EXPECT_EQ(lines[1]["resource"].toString(), "gone");
    EXPECT_EQ(lines[1]["outcome"].toString(), "host-unreachable");

    // Unset: the next sweep leaves the file as it was.
    ASSERT_EQ(workspace.setResultLog(QString()), std::nullopt);
    ASSERT_TRUE(runSweep(workspace.sweep()));
    EXPECT_EQ(objectsIn(file).size(), 2u);
    EXPECT_TRUE(failed.isEmpty());

    const QString folder = path("small");
    SmallFileSystem disk(folder, "16k");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the failed write is not tested";
    ASSERT_EQ(workspace.setResultLog(folder + "/results.jsonl"), std::nullopt);
    ASSERT_TRUE(disk.fill());
    ASSERT_TRUE(runSweep(workspace.sweep()));
    ASSERT_EQ(failed.size(), 1) << "told once, not for every row";
    EXPECT_TRUE(failed[0].contains("no space left on device")) << failed[0].toStdString();
    EXPECT_EQ(workspace.resultLogPath(), QString());
}

} // namespace

#include "discovery/SmbClient.h"
#include "discovery/HelperProcess.h"
#include "discovery/SmbAnswer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace std::chrono_literals;

namespace {

// A helper that is a shell script.
HelperProcess shell(const QString &script) { return HelperProcess("/bin/sh", {"-c", script}); }

bool gone(pid_t pid) { return ::kill(pid, 0) != 0; }

} // namespace

TEST(HelperProcessTest, TheAnswerIsTheWholeOutputOfAProgramThatEndsWell)
{
    const struct {
        const char *what;
        QString script;
        qsizetype max;
        std::optional<QByteArray> answer;
    } cases[] = {
        {"lines", "printf 'a\\nb\\n'", 100, QByteArray("a\nb\n")},
        {"nothing", "true", 100, QByteArray()},
        {"more than fits in a pipe", "head -c 300000 /dev/zero", 400000, QByteArray(300000, '\0')},
        {"a failure", "echo partial; exit 3", 100, std::nullopt},
        {"killed by a signal", "kill -9 $$", 100, std::nullopt},
        {"more than allowed", "head -c 5000 /dev/zero", 4096, std::nullopt},
    };
    for (const auto &c : cases) {
        HelperProcess p = shell(c.script);
        ASSERT_TRUE(p.started()) << c.what;
        EXPECT_EQ(p.output(Deadline(5s), c.max), c.answer) << c.what;
    }
    HelperProcess missing("/nonexistent/lumeo-smb", {});
    EXPECT_FALSE(missing.output(Deadline(1s), 100));
}

TEST(HelperProcessTest, AProgramThatDoesNotAnswerIsKilledAtTheDeadlineOrWhenStopped)
{
    QElapsedTimer t;
    t.start();
    {
        HelperProcess p = shell("exec sleep 60");
        EXPECT_FALSE(p.output(Deadline(200ms), 100));
        EXPECT_LT(t.elapsed(), 1000);
    }
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    t.restart();
    HelperProcess p = shell("exec sleep 60");
    EXPECT_FALSE(p.output(Deadline(60s, stop.get_token()), 100));
    EXPECT_LT(t.elapsed(), 1000);
    stopper.join();

    // Going away, a helper still running is killed and reaped.
    const QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    pid_t pid = 0;
    {
        HelperProcess q = shell("echo $$ >" + pidFile + "; exec sleep 60");
        ASSERT_TRUE(q.started());
        for (int i = 0; i < 200 && pid <= 0; ++i) {
            std::this_thread::sleep_for(10ms);
            QFile f(pidFile);
            if (f.open(QIODevice::ReadOnly))
                pid = f.readAll().trimmed().toInt();
        }
        ASSERT_GT(pid, 0);
        EXPECT_FALSE(gone(pid));
    }
    EXPECT_TRUE(gone(pid));
}

TEST(SmbClientTest, AnswersReadBackNameForNameWhateverTheyHold)
{
    const QString odd = QStringLiteral("A,B\r\n%20 ü");
    const QByteArray browse = SmbAnswer::line(SmbAnswer::kServer, "orphan")
                              + SmbAnswer::line(SmbAnswer::kWorkgroup, "ALPHA")
                              + SmbAnswer::line(SmbAnswer::kServer, "S1") + SmbAnswer::line(SmbAnswer::kServer, odd)
                              + "garbage\n\n" + SmbAnswer::line(SmbAnswer::kWorkgroup, odd);
    const NetworkSnapshot snapshot = SmbClient::readBrowseList(browse);
    ASSERT_EQ(snapshot.size(), 2);
    EXPECT_EQ(snapshot[0], (SnapshotWorkgroup{"ALPHA", {{"S1", ""}, {odd, ""}}}));
    EXPECT_EQ(snapshot[1], (SnapshotWorkgroup{odd, {}}));
    EXPECT_EQ(SmbClient::readShares(SmbAnswer::line(SmbAnswer::kShare, "public")
                                    + SmbAnswer::line(SmbAnswer::kShare, odd)
                                    + SmbAnswer::line(SmbAnswer::kWorkgroup, "X")),
              QStringList({"public", odd}));
}

TEST(SmbClientTest, TheHelperIsFoundBesideTheProgramOrInstalledUnderItsPrefix)
{
    const QStringList candidates = SmbClient::helperCandidates("/usr/bin/lumeo");
    ASSERT_GE(candidates.size(), 2);
    EXPECT_EQ(candidates[0], "/usr/bin/lumeo-smb");
    EXPECT_EQ(candidates[1], "/usr/libexec/lumeo/lumeo-smb");
    EXPECT_EQ(SmbClient::helperCandidates("/opt/x/build/src/lumeo").first(), "/opt/x/build/src/lumeo-smb");
}

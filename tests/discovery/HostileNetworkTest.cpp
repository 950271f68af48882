// The scan, the tree and the end of the program against peers that answer
// the way hostile or broken machines do, in the network hostilenet.sh
// builds; the peers are tests/discovery/hostile-peer.py, started by each
// test with the answers it needs.

#include "application/LocalSubnets.h"
#include "base/NetworkText.h"
#include "gui/MainWindow.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <thread>
#include <time.h>

namespace {

#define REQUIRE_HOSTILE_NETWORK()                                                                                      \
    do {                                                                                                               \
        if (qgetenv("LUMEO_HOSTILE_NET") != "1")                                                                       \
            GTEST_SKIP() << "runs only inside tests/discovery/hostilenet.sh";                                          \
    } while (0)

// The peers, answering as CONFIG says, until the test ends.
class Peers {
public:
    explicit Peers(QJsonObject config)
    {
        config["log"] = m_dir.filePath("peer.log");
        QFile f(m_dir.filePath("peers.json"));
        f.open(QIODevice::WriteOnly);
        f.write(QJsonDocument(config).toJson());
        f.close();
        m_process.start("ip", {"netns", "exec", qEnvironmentVariable("LUMEO_HOSTILE_PEERS"), "python3",
                               LUMEO_HOSTILE_PEER, f.fileName()});
        m_ready = m_process.waitForReadyRead(5000) && m_process.readLine().startsWith("ready");
    }
    ~Peers()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    bool ready() const { return m_ready; }
    QString log() const { return m_dir.filePath("peer.log"); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_ready = false;
};

QJsonArray table(const QByteArray &computer, const QByteArray &workgroup, int count = 3)
{
    QJsonArray names{QJsonArray{QString::fromLatin1(computer.toHex()), 0, false},
                     QJsonArray{QString::fromLatin1(workgroup.toHex()), 0, true}};
    for (int i = int(names.size()); i < count; ++i)
        names.append(QJsonArray{QString::fromLatin1(QByteArray("SVC" + QByteArray::number(i)).toHex()), 0x20, false});
    return names;
}

class HostileWindow : public ::testing::Test {
protected:
    FakePlatform fakes;
    FakeWindowServices ui;
    FakePrompts &prompts = ui.prompts;

    // One run of the program on the real network.
    std::unique_ptr<StartedWindow> window()
    {
        auto w = std::make_unique<StartedWindow>(Platform{fakes.resolver, fakes.echo, systemNeighborhood(),
                                                          std::make_shared<FakeRemoteTransport>(), "HOSTILETEST"},
                                                 ui.services());
        w->show();
        return w;
    }
    static void scan(StartedWindow &w)
    {
        w.findChild<QAction *>("mmScan")->trigger();
        QElapsedTimer t;
        t.start();
        while (w.workspace().scanning() && t.elapsed() < 15000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    static QStringList rows(StartedWindow &w)
    {
        QStringList out;
        for (const ResourceRow &r : w.workspace().list().rows())
            out << r.subItems.join('|') + QString::number(r.imageIndex);
        return out;
    }
};

} // namespace

TEST_F(HostileWindow, HostileNamesComeBackFromTheSessionFileAsTheyWereScanned)
{
    REQUIRE_HOSTILE_NETWORK();
    const struct {
        const char *address;
        QByteArray computer, workgroup;
        int names;
    } hosts[] = {
        {"10.212.1.20", "A,B", "OFFICE", 3},          {"10.212.1.21", "\n0,,X,10.84.0.7", "OFFICE", 3},
        {"10.212.1.22", "PC1", "A\r\nB,C", 3},        {"10.212.1.23", "\x01\x07\x08\x1b\tZ", "OFFICE", 3},
        {"10.212.1.24", "B\x9aRO", "OFFICE", 3},      // CP850
        {"10.212.1.25", "B\xc3\x9cRO2", "OFFICE", 3}, // UTF-8
        {"10.212.1.26", "HUNDRED", "OFFICE", 100},    // 1.9 KB
        {"10.212.1.27", "MOST", "OFFICE", 255},       // 4.6 KB, in fragments
    };
    QJsonArray config;
    for (const auto &h : hosts)
        config.append(QJsonObject{{"address", h.address}, {"names", table(h.computer, h.workgroup, h.names)}});
    Peers peers(QJsonObject{{"hosts", config}});
    ASSERT_TRUE(peers.ready());

    const QTemporaryDir dir;
    const QString file = dir.filePath("office.lu");
    auto w = window();
    for (int i = 0; i < 13; ++i)
        w->workspace().list().append(
            ResourceRow::created(QStringLiteral("WS%1").arg(i), QStringLiteral("10.0.0.%1").arg(i), "HOME"));
    scan(*w);
    const QStringList scanned = rows(*w);
    EXPECT_EQ(scanned.mid(13), QStringList({"PC1||A??B?C|<not tested>|0", "?0??X?10.84.0.7||OFFICE|<not tested>|0",
                                            "?????Z||OFFICE|<not tested>|0", "A?B||OFFICE|<not tested>|0",
                                            "BÜRO||OFFICE|<not tested>|0", "BÜRO2||OFFICE|<not tested>|0",
                                            "HUNDRED||OFFICE|<not tested>|0", "MOST||OFFICE|<not tested>|0"}));
    prompts.saveName = file;
    w->findChild<QAction *>("mmSave")->trigger();
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();

    // The tree shows the same names, and its selection starts an add with one.
    QTreeWidgetItem *root = w->findChild<QTreeWidget *>("Tree")->topLevelItem(0);
    EXPECT_EQ(expandNode(root), QStringList({"A??B?C", "OFFICE"}));
    const QStringList office = expandNode(root->child(1));
    ASSERT_EQ(office.size(), 7);
    for (const QString &name : office)
        EXPECT_TRUE(isCleanNetworkText(name)) << name.toStdString();
    w->findChild<QTreeWidget *>("Tree")->setCurrentItem(root->child(1)->child(0));
    w->findChild<QAction *>("mmAdd")->trigger();
    ASSERT_EQ(prompts.addsAsked.size(), 1);
    EXPECT_EQ(prompts.addsAsked[0].workstation, "?0??X?10.84.0.7");
    w.reset();

    // Quit, start again: the same rows, every one of them, and no other.
    prompts.openName = file;
    auto again = window();
    again->findChild<QAction *>("mmOpen")->trigger();
    EXPECT_EQ(rows(*again), scanned);
    EXPECT_TRUE(prompts.warnings.isEmpty()) << prompts.warnings.join('\n').toStdString();
}

TEST(HostileNetwork, TheProgramEndsWithinTwoSecondsOfItsWindowWhileABrowseMasterIsSilent)
{
    REQUIRE_HOSTILE_NETWORK();
    for (const bool keepAlive : {false, true}) {
        SCOPED_TRACE(keepAlive ? "keep-alives only" : "silent");
        Peers peers(QJsonObject{{"master", QJsonObject{{"address", "10.212.1.9"},
                                                       {"name", "DUMBMASTER"},
                                                       {"workgroup", "HOSTILE"},
                                                       {"keepalive", keepAlive}}}});
        ASSERT_TRUE(peers.ready());
        QProcess probe;
        probe.start(LUMEO_EXIT_PROBE, {peers.log()});
        ASSERT_TRUE(probe.waitForStarted());
        QByteArray out;
        while (!out.contains("closing") && probe.waitForReadyRead(15000))
            out += probe.readAllStandardOutput();
        ASSERT_TRUE(out.contains("closing")) << out.constData();
        EXPECT_TRUE(out.contains("browse master reached")) << "the browse never got to the silent master";
        const qint64 closedAt = out.sliced(out.indexOf("closing") + 8).trimmed().toLongLong();
        ASSERT_TRUE(probe.waitForFinished(30000));
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const qint64 ended = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
        std::printf("the process ended %lld ms after its window\n", static_cast<long long>(ended - closedAt));
        EXPECT_LT(ended - closedAt, 2000);
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.exitCode(), 0);
    }
}

// The window's sweep against machines that drop echo, in the network that
// probenet.sh builds: what each row ends as, what Save writes, how long it
// takes, and the design's outcomes when the probe ports are empty.

#include "application/PingSweep.h"
#include "application/Workspace.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "probe/LinuxHostProber.h"
#include "resources/ResourceList.h"
#include "support/FakeWindow.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString env(const char *name) { return qEnvironmentVariable(name); }

#define REQUIRE_PROBE_NETWORK()                                                                                        \
    do {                                                                                                               \
        if (env("LUMEO_PROBENET") != "1")                                                                              \
            GTEST_SKIP() << "runs only inside tests/probe/probenet.sh";                                                \
    } while (0)

// One host of the network, and what its row must end as.
struct Host {
    const char *name;
    const char *variable; // its address in the environment
    QString message;      // a pattern for the Message cell
    int image;
};

} // namespace

TEST(ProbeWindowNetwork, SilentHostsThatAreUpAreToldApartFromDeadOnesAndSaveKeepsIt)
{
    REQUIRE_PROBE_NETWORK();
    constexpr int kTimeout = 500;
    const QString mac = "([0-9a-f]{2}:){5}[0-9a-f]{2}";
    const Host hosts[] = {
        {"smb", "LUMEO_PROBENET_SMB", "^No echo reply; TCP 445 answered in \\d+ ms$", imgComputer},
        {"refusing", "LUMEO_PROBENET_REFUSING", "^No echo reply; TCP \\d+ answered in \\d+ ms$", imgComputer},
        {"ssh", "LUMEO_PROBENET_SSH", "^No echo reply; TCP 22 answered in \\d+ ms$", imgComputer},
        {"arponly", "LUMEO_PROBENET_ARPONLY",
         "^No echo reply; answers ARP as " + env("LUMEO_PROBENET_ARPONLY_MAC").toLower() + "$", imgComputer},
        {"echo", "LUMEO_PROBENET_ECHO", "^Received 56 bytes in \\d+ ms$", imgReply},
        {"offlink", "LUMEO_PROBENET_OFFLINK", "^Cannot ping host : Request timed out$", imgFailure},
    };
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    FakeWindowServices ui;
    const QTemporaryDir dir;
    for (const bool probing : {true, false}) {
        SCOPED_TRACE(probing ? "default probe ports" : "Probe_Ports empty: the design's outcomes");
        StartedWindow w(Platform{resolver, echo, std::make_shared<FakeNeighborhood>(),
                                 std::make_shared<FakeRemoteTransport>(), "PROBETEST",
                                 std::make_shared<LinuxHostProber>()},
                        ui.services());
        Workspace &core = w.workspace();
        EchoSettings settings = core.echoSettings();
        settings.timeoutMs = kTimeout;
        if (!probing)
            settings.probePorts.clear();
        core.setEchoSettings(settings);
        for (const Host &h : hosts)
            core.list().append(ResourceRow::created(h.name, env(h.variable), "LAB"));
        w.show();
        QElapsedTimer t;
        t.start();
        w.findChild<QAction *>("mmPing")->trigger();
        ASSERT_TRUE(waitForSweep(core.sweep(), 10000));
        const qint64 took = t.elapsed();
        // The probes of a row end at most a second after its echo's timeout.
        EXPECT_LT(took, kTimeout + 1000 + 300) << took << " ms";
        std::printf("%s: the sweep took %lld ms\n", probing ? "probing" : "no probes", static_cast<long long>(took));

        for (int i = 0; i < int(std::size(hosts)); ++i) {
            const Host &h = hosts[i];
            SCOPED_TRACE(h.name);
            const ResourceRow &row = core.list().row(i);
            const bool provedUp = h.image == imgComputer;
            const QString pattern = provedUp && !probing ? "^Cannot ping host : Request timed out$" : h.message;
            EXPECT_TRUE(QRegularExpression(pattern).match(row.subItem(siMessage)).hasMatch())
                << row.subItem(siMessage).toStdString() << " !~ " << pattern.toStdString();
            EXPECT_EQ(row.imageIndex, provedUp && !probing ? int(imgFailure) : h.image);
            EXPECT_FALSE(row.subItem(siLastTest).isEmpty());
            ASSERT_TRUE(row.result);
            EXPECT_EQ(row.result->outcome == PingOutcome::UpWithoutEcho, provedUp && probing);
        }

        // Save writes each row as it shows, and the file reads back so.
        const QString file = dir.filePath(probing ? "probed.lu" : "plain.lu");
        ui.prompts.saveName = file;
        w.findChild<QAction *>("mmSave")->trigger();
        QFile saved(file);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), int(std::size(hosts)));
        for (int i = 0; i < lines.size(); ++i) {
            const ResourceRow &row = core.list().row(i);
            EXPECT_EQ(lines[i], QString::number(row.imageIndex) + ",," + row.subItems.join(',') + ',');
        }
    }
}

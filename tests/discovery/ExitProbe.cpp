// The program as it starts for a user, on the real network, made to close
// its window while the "Workstations" tree still waits for a browse list.
// It opens the tree, waits until LOG (the silent browse master's log)
// shows a connection from us, or four seconds, then closes the window and
// prints "closing" with a clock reading in milliseconds; whoever started it
// times how long the process lives on.
//
// Usage: exit_probe LOG

#include "application/LocalSubnets.h"
#include "application/RemoteActions.h"
#include "application/Workspace.h"
#include "gui/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "remote/FakeRemotePrompts.h"
#include "support/FakePrompts.h"
#include "sysinfo/LocalNetwork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <time.h>

namespace {

qint64 monotonicMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool connected(const QString &log)
{
    QFile f(log);
    return f.open(QIODevice::ReadOnly) && f.readAll().contains("connect");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: exit_probe LOG\n");
        return 2;
    }
    const QString log = QString::fromLocal8Bit(argv[1]);
    FakePrompts prompts;
    FakeRemotePrompts remotePrompts;
    SystemNetworkSource network;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    Workspace workspace(
        Platform{resolver, echo, systemNeighborhood(), std::make_shared<NetworkTransport>(), localComputerName()});
    TfrmMain window(workspace, TfrmMainServices{prompts, remotePrompts, network});
    window.show();

    QElapsedTimer waited;
    QTimer poll;
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QTreeWidget *>("Tree")->topLevelItem(0)->setExpanded(true);
        waited.start();
        poll.start(20);
    });
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        const bool reached = connected(log);
        if (!reached && waited.elapsed() < 4000)
            return;
        poll.stop();
        std::printf("%s\nclosing %lld\n", reached ? "browse master reached" : "browse master not reached",
                    static_cast<long long>(monotonicMs()));
        std::fflush(stdout);
        window.close();
    });
    return app.exec();
}

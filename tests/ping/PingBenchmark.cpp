// Sweeps N live hosts of the test network through the main window's real
// sweep and compares the time per row with the bare echo round trip.
// Run it through tests/ping/testnet.sh (see README).
#include "app/MainWindow.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "ping/Ping.h"
#include "ping/TestNetwork.h"
#include "resources/ResourceList.h"
#include "support/FakePrompts.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString hostAddress(int i) { return QStringLiteral("10.201.%1.%2").arg(2 + (i - 1) / 254).arg(1 + (i - 1) % 254); }

// The bare round trip: one blocking datagram ICMP socket, no event loop.
double bareMicrosPerEcho(int n)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    unsigned char packet[64] = {ICMP_ECHO, 0};
    unsigned char reply[256];
    QElapsedTimer t;
    t.start();
    int answered = 0;
    for (int i = 1; i <= n; ++i) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        inet_pton(AF_INET, hostAddress(i).toLatin1().constData(), &to.sin_addr);
        packet[6] = std::uint8_t(i >> 8);
        packet[7] = std::uint8_t(i);
        sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) > 0 && recv(fd, reply, sizeof reply, 0) > 0)
            ++answered;
    }
    const double us = double(t.nsecsElapsed()) / 1000.0 / n;
    close(fd);
    return answered == n ? us : -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!TestNet::inside()) {
        std::fprintf(stderr, "run me through tests/ping/testnet.sh\n");
        return 2;
    }
    const int n = argc > 1 ? std::atoi(argv[1]) : 250;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    FakePrompts prompts;
    FixedNetwork network;
    SystemResolver resolver;
    LinuxEchoChannelFactory echo;
    TfrmMain w(TfrmMainServices{prompts, network, resolver, echo});
    if (qgetenv("LUMEO_BENCH_HIDDEN") != "1")
        w.show();
    QAction *ping = w.findChild<QAction *>("mmPing");
    int failures = 0;
    // First by address (the lookup completes at once), then by name (the
    // lookup completes later through the event loop, as on a real network).
    for (const bool byName : {false, true}) {
    std::vector<ResourceRow> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back(ResourceRow::created(QStringLiteral("host%1").arg(i), byName ? QString() : hostAddress(i), "LAB"));
    w.list().setRows(std::move(rows));

    std::printf("%d hosts by %s, %d rounds\n", n, byName ? "name" : "address", rounds);
    double best = 1e18, bestBare = 1e18, bestCpu = 0;
    for (int r = 0; r < rounds; ++r) {
        if (byName)
            for (int i = 0; i < n; ++i)
                w.list().setSubItem(i, siAddress, QString()); // look the name up every round
        const double bare = bareMicrosPerEcho(n);
        const double cpu0 = TestNet::cpuMs();
        QElapsedTimer t;
        t.start();
        ping->trigger();
        const double us = double(t.nsecsElapsed()) / 1000.0 / n;
        const double cpu = (TestNet::cpuMs() - cpu0) * 1000.0 / n;
        int replied = 0;
        for (const ResourceRow &row : w.list().rows())
            replied += row.imageIndex == imgReply;
        std::printf("round %d: sweep %.1f us/row (cpu %.1f us/row), bare echo %.1f us, overhead %.1f us/row, %d/%d replied\n",
                    r + 1, us, cpu, bare, us - bare, replied, n);
        if (replied != n)
            ++failures;
        if (us < best) {
            best = us;
            bestBare = bare;
            bestCpu = cpu;
        }
    }
    std::printf("best: %.1f us/row, bare echo %.1f us, overhead %.1f us/row (target <= 1000), cpu %.1f us/row\n\n", best,
                bestBare, best - bestBare, bestCpu);
    }
    return failures ? 1 : 0;
}

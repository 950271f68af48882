#include "sysinfo/NetworkProbe.h"

#include "base/SystemError.h"

#include <QMap>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <gnu/libc-version.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

QString hardwareAddressText(const QByteArray &address)
{
    QStringList parts;
    for (char byte : address)
        parts << QStringLiteral("%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(':'));
}

QList<InterfaceInfo> SystemNetworkProbe::interfaces() const
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    QMap<QString, InterfaceInfo> byName;
    for (const ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_name)
            continue;
        const QString name = QString::fromLocal8Bit(a->ifa_name);
        InterfaceInfo &itf = byName[name];
        itf.name = name;
        itf.loopback = a->ifa_flags & IFF_LOOPBACK;
        if (!a->ifa_addr)
            continue;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll ll{};
            std::memcpy(&ll, a->ifa_addr, sizeof ll);
            itf.index = ll.sll_ifindex;
            itf.hardwareType = ll.sll_hatype;
            itf.hardwareAddress = QByteArray(reinterpret_cast<const char *>(ll.sll_addr),
                                             std::min<int>(ll.sll_halen, int(sizeof ll.sll_addr)));
        } else if (a->ifa_addr->sa_family == AF_INET) {
            sockaddr_in in{}, mask{};
            std::memcpy(&in, a->ifa_addr, sizeof in);
            if (a->ifa_netmask)
                std::memcpy(&mask, a->ifa_netmask, sizeof mask);
            itf.ipv4.append({Ipv4Address::fromNetworkOrder(in.sin_addr.s_addr), ntohl(mask.sin_addr.s_addr)});
        }
    }
    freeifaddrs(list);
    QList<InterfaceInfo> out = byName.values();
    for (InterfaceInfo &itf : out)
        if (itf.index == 0)
            itf.index = int(if_nametoindex(itf.name.toLocal8Bit().constData()));
    std::stable_sort(out.begin(), out.end(),
                     [](const InterfaceInfo &a, const InterfaceInfo &b) { return a.index < b.index; });
    return out;
}

QString SystemNetworkProbe::hostName() const
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? QString::fromLocal8Bit(name) : QString();
}

QStringList SystemNetworkProbe::lookUpHost(const QString &name) const
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address, not one per socket type
    addrinfo *result = nullptr;
    if (name.isEmpty() || getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &result) != 0)
        return {};
    QStringList out;
    for (const addrinfo *r = result; r; r = r->ai_next) {
        if (r->ai_family != AF_INET || !r->ai_addr)
            continue;
        sockaddr_in in{};
        std::memcpy(&in, r->ai_addr, sizeof in);
        const QString dotted = Ipv4Address::fromNetworkOrder(in.sin_addr.s_addr).toString();
        if (!out.contains(dotted))
            out << dotted;
    }
    freeaddrinfo(result);
    return out;
}

QString SystemNetworkProbe::socketError() const
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return systemErrorText(errno);
    close(fd);
    return QString();
}

QString SystemNetworkProbe::kernelRelease() const
{
    utsname u{};
    return uname(&u) == 0 ? QString::fromLocal8Bit(u.release) : QString();
}

QString SystemNetworkProbe::libcVersion() const { return QString::fromLatin1(gnu_get_libc_version()); }

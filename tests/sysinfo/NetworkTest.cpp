#include "sysinfo/Network.h"
#include "sysinfo/Devices.h"
#include "sysinfo/LocalNetwork.h"
#include "sysinfo/SysinfoFixtures.h"
#include "sysinfo/SystemSummary.h"
#include "sysinfo/TCPIP.h"

#include <gtest/gtest.h>

TEST(Devices, NetworkInterfacesFromSampleTrees)
{
    struct Case {
        const char *tree;
        QStringList names;     // in interface order
        QStringList locations; // empty: not on a bus
    };
    const Case cases[] = {
        {"office",
         {"Loopback (lo)", "r8169 Ethernet adapter (enp3s0)", "rtl8xxxu Wireless adapter (wlan0)",
          "Virtual Bridge (br0)"},
         {"", "PCI 0000:03:00.0", "USB 1-2:1.0", ""}},
        // The virtio function sits on a PCI slot: the slot is its location.
        {"vm",
         {"Loopback (lo)", "Virtual Ethernet (ifb0)", "virtio_net Ethernet adapter (eth0)"},
         {"", "", "PCI 0000:00:03.0"}},
        {"container", {"Loopback (lo)", "Virtual Ethernet (eth0)"}, {"", ""}},
        {"no-such-tree", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tree);
        TDevices devices(sample(c.tree));
        devices.GetInfo();
        QStringList names, locations;
        for (const TDevice &d : devices.Devices()) {
            names << d.FriendlyName;
            locations << d.Location;
            EXPECT_EQ(d.DeviceClassName, "Net");
            EXPECT_EQ(d.DeviceClass, kNetDeviceClass);
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(locations, c.locations);
        EXPECT_EQ(devices.DeviceCount(), c.names.size());
    }
}

TEST(Devices, ClassIndexIsTheFirstPrefixIgnoringCase)
{
    const std::pair<const char *, int> cases[] = {
        {"Net", 21},           {"NetTrans", 21},  {"netservice", 21},  {"Battery", 0},
        {"USB", 36},           {"TapeDrive", 33}, {"TapeLibrary", 35}, {"MEDIA", 30},
        {"MediumChanger", 14}, {"Printer", 27},   {"Scanner", 24},     {"", 24},
    };
    for (const auto &[name, index] : cases)
        EXPECT_EQ(deviceClassIndex(QString::fromLatin1(name)), index) << name;
    EXPECT_STREQ(DeviceClassNames[21], "Net");
    EXPECT_STREQ(DeviceClassNames[24], "Unknown");
}

TEST(TCPIP, ResolverConfiguration)
{
    struct Case {
        const char *text;
        QStringList servers;
        QStringList search;
        const char *domain;
    };
    const Case cases[] = {
        {"nameserver 10.209.0.53\nnameserver 10.209.0.54\nsearch office.example corp.example\n",
         {"10.209.0.53", "10.209.0.54"},
         {"office.example", "corp.example"},
         ""},
        {"# nameserver 1.1.1.1\n; nameserver 2.2.2.2\n  nameserver\t10.0.0.1  # the router\r\n", {"10.0.0.1"}, {}, ""},
        // The last of "search" and "domain" sets the search list.
        {"search a.example\ndomain b.example\n", {}, {"b.example"}, "b.example"},
        {"domain b.example\nsearch a.example c.example\n", {}, {"a.example", "c.example"}, "b.example"},
        {"nameserver\noptions ndots:2\n", {}, {}, ""},
        {"", {}, {}, ""},
    };
    for (const Case &c : cases) {
        const ResolverConfig r = parseResolvConf(c.text);
        EXPECT_EQ(r.nameservers, c.servers) << c.text;
        EXPECT_EQ(r.search, c.search) << c.text;
        EXPECT_EQ(r.domain, QString::fromLatin1(c.domain)) << c.text;
    }
}

TEST(TCPIP, AdaptersAndParametersOfTheOfficeDesktop)
{
    FakeProbe probe;
    TTCPIP tcpip;
    tcpip.GetInfo(probe);
    ASSERT_EQ(tcpip.AdapterCount(), 5);
    const TAdapter &lo = tcpip.Adapters()[0], &card = tcpip.Adapters()[1], &wlan = tcpip.Adapters()[2],
                   &ppp = tcpip.Adapters()[4];
    EXPECT_EQ(lo.AdapterType, 5);
    EXPECT_EQ(card.Name, "enp3s0");
    EXPECT_EQ(card.AdapterType, 1);
    EXPECT_EQ(card.PhysAddr, "00:1B:21:AA:BB:CC");
    EXPECT_EQ(card.IPAddress, QStringList({"192.168.2.10", "192.168.2.11"}));
    EXPECT_EQ(card.IPMask, QStringList({"255.255.255.0", "255.255.255.0"}));
    // Gateways of routes that are up; the table keeps addresses in memory order.
    EXPECT_EQ(card.Gateway_IPAddress, QStringList{"192.168.2.1"});
    EXPECT_EQ(card.Gateway_IPMask, QStringList{"0.0.0.0"});
    EXPECT_EQ(wlan.Gateway_IPAddress, QStringList{"192.168.1.254"});
    EXPECT_EQ(ppp.AdapterType, 4);
    EXPECT_TRUE(ppp.PhysAddr.isEmpty());

    EXPECT_EQ(tcpip.HostName(), "ws7");
    EXPECT_EQ(tcpip.DomainName(), "office.example");
    EXPECT_EQ(tcpip.DNSServers(), QStringList({"192.168.2.1", "192.168.2.2"}));
    EXPECT_EQ(tcpip.DNSSuffixes(), QStringList({"office.example", "branch.example"}));
    EXPECT_TRUE(tcpip.EnableDNS());
    EXPECT_TRUE(tcpip.EnableRouting());
    EXPECT_EQ(tcpip.NodeType(), ntUnknown);

    // No resolver configuration: one empty suffix, DNS off, the domain
    // then comes from the host name alone.
    probe.resolv = sample("no-such-file");
    probe.proc = sample("no-such-dir");
    probe.host = "workhorse";
    tcpip.GetInfo(probe);
    EXPECT_EQ(tcpip.DNSSuffixes(), QStringList{QString()});
    EXPECT_FALSE(tcpip.EnableDNS());
    EXPECT_FALSE(tcpip.EnableRouting());
    EXPECT_EQ(tcpip.HostName(), "workhorse");
    EXPECT_TRUE(tcpip.DomainName().isEmpty());
    EXPECT_TRUE(tcpip.Adapters()[1].Gateway_IPAddress.isEmpty());
}

TEST(Network, AddressesAdaptersAndSockets)
{
    FakeProbe probe;
    TNetwork network(probe);
    network.GetInfo();
    // Interface addresses first, loopback left out, then what the lookup adds.
    EXPECT_EQ(network.IPAddresses(), QStringList({"192.168.2.10", "192.168.2.11", "10.0.0.5", "172.16.0.9"}));
    EXPECT_EQ(probe.lookedUp, QStringList{"ws7.office.example"});
    // A bridge shares its port's address: listed once; loopback's zeros never.
    EXPECT_EQ(network.MACAddresses(), QStringList({"00:1B:21:AA:BB:CC", "00:C0:CA:0F:0E:0D"}));
    EXPECT_EQ(network.Adapters().value(1), "r8169 Ethernet adapter (enp3s0)");
    EXPECT_EQ(network.CardAdapterIndex(), 1);
    EXPECT_EQ(network.CardAdapterName(), "r8169 Ethernet adapter (enp3s0)");
    EXPECT_EQ(network.Protocols(), QStringList({"PACKET", "UDPv6", "TCPv6", "UNIX", "UDP", "TCP"}));
    EXPECT_EQ(network.WinSock().Description(), "Linux 6.1 sockets, glibc 2.36");
    EXPECT_EQ(network.WinSock().Status(), "Running");
    EXPECT_EQ(network.WinSock().MajorVersion(), 6);
    EXPECT_EQ(network.WinSock().MinorVersion(), 1);
    EXPECT_EQ(network.TCPIP().AdapterCount(), 5);
}

TEST(Network, WhatTheWindowShows)
{
    struct Case {
        const char *what;
        const char *tree;
        bool addresses;
        const char *socketFailure;
        int card;
        const char *address;
        const char *socketText;
    };
    const Case cases[] = {
        {"office desktop", "office", true, "", 1, "192.168.2.10", "Linux 6.1 sockets, glibc 2.36 (Running)"},
        // Only the lookup's 127.0.1.1: no address at all, never 0.0.0.0.
        {"nothing but loopback", "container", false, "", -1, "no address", "Linux 6.1 sockets, glibc 2.36 (Running)"},
        {"no sockets", "vm", true, "Address family not supported by protocol", 2, "192.168.2.10",
         " (Sockets cannot be opened: Address family not supported by protocol)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeProbe probe;
        probe.sys = sample(c.tree);
        probe.socketFailure = QString::fromLatin1(c.socketFailure);
        if (!c.addresses) {
            probe.itfs = {probe.itfs.first()};
            probe.answers = {{probe.host, {"127.0.1.1"}}};
        }
        const LocalNetwork n = SystemNetworkSource(probe).read();
        EXPECT_EQ(n.cardAdapterIndex, c.card);
        EXPECT_EQ(n.firstAddress(), QString::fromLatin1(c.address));
        EXPECT_EQ(n.socketText(), QString::fromLatin1(c.socketText));
        EXPECT_EQ(n.machineName, systemSummary().MachineName);
    }
    // Without any device there is no card, and the name says so.
    FakeProbe empty;
    empty.sys = sample("no-such-tree");
    TNetwork network(empty);
    network.GetInfo();
    EXPECT_TRUE(network.Adapters().isEmpty());
    EXPECT_EQ(network.CardAdapterName(), "<not detected>");
}

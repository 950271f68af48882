#pragma once

// Sample systems for the system-information tests: a network probe with
// fixed answers and a CPUID that replays the registers of one processor.

#include "sysinfo/CpuId.h"
#include "sysinfo/NetworkProbe.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

// A file or directory of tests/sysinfo/samples.
inline QString sample(const char *name) { return QStringLiteral(LUMEO_SYSINFO_SAMPLES "/") + QString::fromUtf8(name); }

inline InterfaceInfo::Ipv4 ipv4(const char *address, const char *mask)
{
    auto word = [](const char *dotted) {
        std::uint32_t w = 0;
        for (const QString &part : QString::fromLatin1(dotted).split(QLatin1Char('.')))
            w = (w << 8) | part.toUInt();
        return w;
    };
    return {Ipv4Address::fromHostOrder(word(address)), word(mask)};
}

inline InterfaceInfo interfaceInfo(const char *name, int index, int hardwareType, QByteArray mac,
                                   QList<InterfaceInfo::Ipv4> addresses = {})
{
    InterfaceInfo i;
    i.name = QString::fromLatin1(name);
    i.index = index;
    i.loopback = hardwareType == 772;
    i.hardwareType = hardwareType;
    i.hardwareAddress = std::move(mac);
    i.ipv4 = std::move(addresses);
    return i;
}

// The office desktop of samples/office, with fixed answers for everything
// that would otherwise ask the running system.
class FakeProbe : public NetworkProbe {
public:
    QString sys = sample("office");
    QString proc = sample("office-proc");
    QString resolv = sample("office-resolv.conf");
    QList<InterfaceInfo> itfs = {
        interfaceInfo("lo", 1, 772, QByteArray(6, '\0'), {ipv4("127.0.0.1", "255.0.0.0")}),
        interfaceInfo("enp3s0", 2, 1, QByteArray::fromHex("001b21aabbcc"),
                      {ipv4("192.168.2.10", "255.255.255.0"), ipv4("192.168.2.11", "255.255.255.0")}),
        interfaceInfo("wlan0", 3, 1, QByteArray::fromHex("00c0ca0f0e0d"), {ipv4("10.0.0.5", "255.255.240.0")}),
        interfaceInfo("br0", 4, 1, QByteArray::fromHex("001b21aabbcc")),
        interfaceInfo("ppp0", 5, 512, QByteArray()),
    };
    QString host = QStringLiteral("ws7.office.example");
    QMap<QString, QStringList> answers = {{"ws7.office.example", {"127.0.1.1", "192.168.2.10", "172.16.0.9"}}};
    QString socketFailure;
    mutable QStringList lookedUp;

    QString sysRoot() const override { return sys; }
    QString procRoot() const override { return proc; }
    QString resolvConf() const override { return resolv; }
    QList<InterfaceInfo> interfaces() const override { return itfs; }
    QString hostName() const override { return host; }
    QStringList lookUpHost(const QString &name) const override
    {
        lookedUp << name;
        return answers.value(name);
    }
    QString socketError() const override { return socketFailure; }
    QString kernelRelease() const override { return QStringLiteral("6.1.0-18-amd64"); }
    QString libcVersion() const override { return QStringLiteral("2.36"); }
};

// The registers one processor answers, by CPUID function. Function 2 may
// answer differently on each call: `leaf2` lists the answers in turn.
struct ReplayCpuid : CpuidSource {
    std::map<std::uint32_t, CpuRegisters> leaves;
    std::vector<CpuRegisters> leaf2;
    int leaf2Calls = 0;

    CpuRegisters cpuid(std::uint32_t function) override
    {
        if (function == 2 && !leaf2.empty())
            return leaf2[std::size_t(std::min<int>(leaf2Calls++, int(leaf2.size()) - 1))];
        const auto it = leaves.find(function);
        return it == leaves.end() ? CpuRegisters{} : it->second;
    }

    // Function 0: the twelve characters of the vendor string in EBX, EDX, ECX.
    void vendor(const char *id, std::uint32_t maxFunction = 2)
    {
        CpuRegisters r;
        r.eax = maxFunction;
        std::memcpy(&r.ebx, id, 4);
        std::memcpy(&r.edx, id + 4, 4);
        std::memcpy(&r.ecx, id + 8, 4);
        leaves[0] = r;
    }
    // Function 1: the signature, the brand index and the feature flags.
    void signature(int family, int model, int stepping, std::uint32_t brandId = 0, std::uint32_t features = 0)
    {
        leaves[1] = {std::uint32_t(family << 8 | model << 4 | stepping), brandId, 0, features};
    }
    // Functions 0x80000002 to 0x80000004: the brand string, NUL-padded.
    void brand(const char *text)
    {
        char bytes[48] = {};
        std::strncpy(bytes, text, sizeof bytes);
        for (std::uint32_t i = 0; i < 3; ++i) {
            CpuRegisters r;
            std::memcpy(&r, bytes + 16 * i, 16);
            leaves[0x80000002u + i] = r;
        }
    }
};

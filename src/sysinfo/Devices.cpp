#include "sysinfo/Devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

const std::array<const char *, 37> DeviceClassNames = {"Battery",
                                                       "Computer",
                                                       "DiskDrive",
                                                       "Display",
                                                       "CDROM",
                                                       "fdc",
                                                       "FloppyDisk",
                                                       "GPS",
                                                       "HID",
                                                       "hdc",
                                                       "1394",
                                                       "Image",
                                                       "Infrared",
                                                       "Keyboard",
                                                       "MediumChanger",
                                                       "MTD",
                                                       "Mouse",
                                                       "Modem",
                                                       "Monitor",
                                                       "MultiFunction",
                                                       "MultiPortSerial",
                                                       "Net",
                                                       "LegacyDriver",
                                                       "NtApm",
                                                       "Unknown",
                                                       "PCMCIA",
                                                       "Ports",
                                                       "Printer",
                                                       "SCSIAdapter",
                                                       "SmartCardReader",
                                                       "MEDIA",
                                                       "Volume",
                                                       "System",
                                                       "TapeDrive",
                                                       "TapeController",
                                                       "Tape",
                                                       "USB"};

std::uint8_t deviceClassIndex(const QString &className)
{
    for (std::size_t i = 0; i < DeviceClassNames.size(); ++i)
        if (className.startsWith(QLatin1String(DeviceClassNames[i]), Qt::CaseInsensitive))
            return std::uint8_t(i);
    return kUnknownDeviceClass;
}

namespace {

QString readLine(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readLine(4096)).trimmed();
}

// KEY=value lines of a uevent file.
QString ueventValue(const QString &dir, const char *key)
{
    QFile f(dir + QStringLiteral("/uevent"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray prefix = QByteArray(key) + '=';
    for (const QByteArray &line : f.read(64 * 1024).split('\n'))
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.mid(prefix.size())).trimmed();
    return QString();
}

QString linkName(const QString &link)
{
    const QString target = QFileInfo(link).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

// What kind of link an interface is, from its device type (the uevent's
// DEVTYPE) or else its link-layer type.
QString linkKind(const QString &devType, int hardwareType)
{
    static const std::pair<const char *, const char *> byDevType[] = {
        {"wlan", "Wireless"},       {"bridge", "Bridge"},         {"vlan", "VLAN"}, {"bond", "Bond"},
        {"wireguard", "WireGuard"}, {"wwan", "Mobile broadband"}, {"ppp", "PPP"},   {"macvlan", "MACVLAN"}};
    for (const auto &[type, kind] : byDevType)
        if (devType == QLatin1String(type))
            return QString::fromLatin1(kind);
    switch (hardwareType) {
    case 1:
        return QStringLiteral("Ethernet");
    case 32:
        return QStringLiteral("InfiniBand");
    case 256:
        return QStringLiteral("SLIP");
    case 280:
        return QStringLiteral("CAN");
    case 512:
        return QStringLiteral("PPP");
    case 768:
        return QStringLiteral("IPIP tunnel");
    case 772:
        return QStringLiteral("Loopback");
    case 776:
        return QStringLiteral("IPv6-in-IPv4 tunnel");
    case 778:
        return QStringLiteral("GRE tunnel");
    case 801:
    case 803:
        return QStringLiteral("Wireless");
    case 65534:
        return QStringLiteral("Tunnel");
    default:
        return QStringLiteral("Network");
    }
}

QString busName(const QString &deviceDir) { return linkName(deviceDir + QStringLiteral("/subsystem")); }

// Where a device sits: the PCI slot or USB port of the nearest such device
// it hangs from (a virtio or PHY device is a function of one), or else its
// own bus and name.
QString busLocation(const QString &sysRoot, const QString &deviceLink)
{
    const QString device = QFileInfo(deviceLink).canonicalFilePath();
    if (device.isEmpty())
        return QString();
    const QString devicesRoot = QFileInfo(sysRoot + QStringLiteral("/devices")).canonicalFilePath();
    for (QString dir = device; !devicesRoot.isEmpty() && dir.startsWith(devicesRoot + QLatin1Char('/'));
         dir = QFileInfo(dir).path()) {
        const QString bus = busName(dir);
        if (bus == QLatin1String("pci") || bus == QLatin1String("usb"))
            return bus.toUpper() + QLatin1Char(' ') + QFileInfo(dir).fileName();
    }
    const QString bus = busName(device);
    return (bus.isEmpty() ? QStringLiteral("bus") : bus.toUpper()) + QLatin1Char(' ') + QFileInfo(device).fileName();
}

} // namespace

TDevices::TDevices(QString sysRoot) : m_sysRoot(std::move(sysRoot)) {}

TDevice TDevices::networkDevice(const QString &dir) const
{
    TDevice d;
    const QString name = QFileInfo(dir).fileName();
    d.DeviceClassName = QStringLiteral("Net");
    d.DeviceClass = deviceClassIndex(d.DeviceClassName);
    d.ClassDescription = QStringLiteral("Network adapters");
    d.RegistryKey = dir;
    const QString kind = linkKind(ueventValue(dir, "DEVTYPE"), readLine(dir + QStringLiteral("/type")).toInt());
    const QString deviceLink = dir + QStringLiteral("/device");
    if (QFileInfo(deviceLink).isSymLink()) {
        d.Driver = linkName(deviceLink + QStringLiteral("/driver"));
        d.Service = d.Driver;
        d.HardwareID = ueventValue(deviceLink, "MODALIAS");
        d.Location = busLocation(m_sysRoot, deviceLink);
        d.Description = kind + QStringLiteral(" adapter");
        d.FriendlyName = (d.Driver.isEmpty() ? QString() : d.Driver + QLatin1Char(' ')) + d.Description
                         + QStringLiteral(" (") + name + QLatin1Char(')');
    } else if (kind == QLatin1String("Loopback")) {
        d.Description = kind;
        d.FriendlyName = kind + QStringLiteral(" (") + name + QLatin1Char(')');
    } else {
        d.Description = QStringLiteral("Virtual ") + kind;
        d.FriendlyName = d.Description + QStringLiteral(" (") + name + QLatin1Char(')');
    }
    return d;
}

void TDevices::GetInfo()
{
    m_devices.clear();
    // Interfaces in index order, the order the kernel lists them in.
    QDir net(m_sysRoot + QStringLiteral("/class/net"));
    QList<std::pair<int, QString>> interfaces;
    for (const QString &name : net.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        interfaces.append({readLine(net.filePath(name) + QStringLiteral("/ifindex")).toInt(), net.filePath(name)});
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &itf : interfaces)
        m_devices.append(networkDevice(itf.second));
    std::stable_sort(m_devices.begin(), m_devices.end(), [](const TDevice &a, const TDevice &b) {
        return a.DeviceClassName.compare(b.DeviceClassName, Qt::CaseInsensitive) < 0;
    });
    m_deviceCount = int(m_devices.size());
}

#pragma once

#include <QList>
#include <QString>
#include <array>
#include <cstdint>

// One installed device. The network description uses the friendly name,
// description, location and class; the rest says what else is known of it.
struct TDevice {
    QString DeviceClassName;
    QString ClassDescription;
    QString ClassIcon;
    QString FriendlyName;
    QString Description;
    QString ClassGUID;
    QString Manufacturer;
    QString Location; // where it sits on a physical bus; empty for a virtual device
    QString HardwareID;
    QString DeviceParameter;
    QString Driver;
    QString DriverDate;
    QString DriverVersion;
    QString DriverProvider;
    QString Service;
    QString ServiceName;
    QString ServiceGroup;
    int ServiceType = 0;
    QString RegistryKey; // the device's directory under the sysfs root
    std::uint8_t DeviceClass = 24;
};

// The device classes, by index. A class name takes the index of the first
// entry it begins with, so "NetTrans" is a "Net" device too.
constexpr int kNetDeviceClass = 21;
constexpr int kUnknownDeviceClass = 24;
extern const std::array<const char *, 37> DeviceClassNames;
std::uint8_t deviceClassIndex(const QString &className);

// The devices of the machine, read from sysfs under a root that tests
// point at sample trees: every network interface (class "Net"). A device
// whose interface has a "device" link sits on a bus and has a location.
class TDevices {
public:
    explicit TDevices(QString sysRoot = QStringLiteral("/sys"));

    void GetInfo();
    int DeviceCount() const { return m_deviceCount; }
    // Sorted by class name; devices of one class in interface order.
    const QList<TDevice> &Devices() const { return m_devices; }

private:
    TDevice networkDevice(const QString &interfaceDir) const;

    QString m_sysRoot;
    QList<TDevice> m_devices;
    int m_deviceCount = 0;
};

#include "sysinfo/Winsock.h"

#include "sysinfo/NetworkProbe.h"

#include <QRegularExpression>

void TWinsock::GetInfo(const NetworkProbe &probe)
{
    m_description.clear();
    m_majorVersion = m_minorVersion = 0;
    const QString error = probe.socketError();
    if (!error.isEmpty()) {
        m_status = QStringLiteral("Sockets cannot be opened: ") + error;
        return;
    }
    m_status = QStringLiteral("Running");
    static const QRegularExpression version(QStringLiteral("^(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch m = version.match(probe.kernelRelease());
    QString kernel = QStringLiteral("Linux");
    if (m.hasMatch()) {
        m_majorVersion = std::uint16_t(m.captured(1).toUInt());
        m_minorVersion = std::uint16_t(m.captured(2).toUInt());
        kernel += QStringLiteral(" %1.%2").arg(m_majorVersion).arg(m_minorVersion);
    }
    m_description = kernel + QStringLiteral(" sockets");
    if (const QString libc = probe.libcVersion(); !libc.isEmpty())
        m_description += QStringLiteral(", glibc ") + libc;
}

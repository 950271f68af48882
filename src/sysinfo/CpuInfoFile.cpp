#include "sysinfo/CpuInfoFile.h"

#include <QList>

QMap<QString, QString> firstProcessorInfo(const QByteArray &text)
{
    QMap<QString, QString> fields;
    bool inProcessor = false;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (line.trimmed().isEmpty() || colon < 0) {
            if (inProcessor)
                break; // the blank line after the first processor
            continue;
        }
        const QString key = QString::fromUtf8(line.left(colon)).trimmed();
        if (key == QLatin1String("processor") && inProcessor && fields.contains(key))
            break;
        inProcessor = true;
        if (!fields.contains(key))
            fields.insert(key, QString::fromUtf8(line.mid(colon + 1)).trimmed());
    }
    return fields;
}

QString armImplementerName(const QString &code)
{
    static const std::pair<unsigned, const char *> names[] = {
        {0x41, "ARM"},    {0x42, "Broadcom"},      {0x43, "Cavium"},   {0x46, "Fujitsu"}, {0x48, "HiSilicon"},
        {0x4E, "NVIDIA"}, {0x50, "Applied Micro"}, {0x51, "Qualcomm"}, {0x53, "Samsung"}, {0x56, "Marvell"},
        {0x61, "Apple"},  {0x69, "Intel"},         {0xC0, "Ampere"}};
    bool ok = false;
    const unsigned value = code.toUInt(&ok, 0);
    if (!ok)
        return QString();
    for (const auto &[number, name] : names)
        if (number == value)
            return QString::fromLatin1(name);
    return QString();
}

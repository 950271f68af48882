#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The fields of the first processor in the text of /proc/cpuinfo
// ("model name", "cpu MHz", "CPU implementer", ...), values trimmed.
QMap<QString, QString> firstProcessorInfo(const QByteArray &text);

// The name of an ARM implementer code ("0x41" is "ARM"); empty when unknown.
QString armImplementerName(const QString &code);

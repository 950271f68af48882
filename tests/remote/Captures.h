#pragma once

// Packets captured from Samba 4.17 (smbd, nmbd) in the test network of
// tests/remote/remotenet.sh; the same files start the fuzz targets.

#include "support/TestFiles.h"

#include <QString>

inline QByteArray capture(const char *folder, const char *name)
{
    const QByteArray bytes =
        readBytes(QStringLiteral(LUMEO_CORPUS_DIR "/%1/%2").arg(QLatin1String(folder), QLatin1String(name)));
    EXPECT_FALSE(bytes.isEmpty()) << "missing capture " << folder << "/" << name;
    return bytes;
}

#include "application/Caption.h"

#include <QFileInfo>

QString windowCaption(const QString &sessionFile)
{
    if (sessionFile.isEmpty())
        return QStringLiteral("Lumeo");
    return QStringLiteral("Lumeo - [%1]").arg(QFileInfo(sessionFile).fileName());
}

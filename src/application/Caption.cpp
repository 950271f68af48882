#include "application/Caption.h"

#include <QFileInfo>

QString windowCaption(const QString &sessionFile, const QString &monitoring)
{
    QString caption = QStringLiteral("Lumeo");
    if (!sessionFile.isEmpty())
        caption += QStringLiteral(" - [%1]").arg(QFileInfo(sessionFile).fileName());
    if (!monitoring.isEmpty())
        caption += QStringLiteral(" - ") + monitoring;
    return caption;
}

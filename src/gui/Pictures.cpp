#include "gui/Pictures.h"

#include "resources/ResourceRow.h"

#include <QString>

static void loadPictureResources()
{
    // The pictures are compiled into a static library: register them once.
    static const bool loaded = [] {
        Q_INIT_RESOURCE(pictures);
        return true;
    }();
    (void)loaded;
}

namespace Pictures {

QList<QIcon> commandPictures()
{
    loadPictureResources();
    QList<QIcon> icons;
    for (int i = 0; i < CommandPictureCount; ++i)
        icons.append(QIcon(QStringLiteral(":/pictures/cmd%1.svg").arg(i, 2, 10, QLatin1Char('0'))));
    return icons;
}

QList<QIcon> statusPictures()
{
    loadPictureResources();
    QList<QIcon> icons;
    for (int i = 0; i < StatusImageCount; ++i)
        icons.append(QIcon(QStringLiteral(":/pictures/status%1.svg").arg(i)));
    return icons;
}

} // namespace Pictures

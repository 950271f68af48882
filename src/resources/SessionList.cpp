#include "resources/SessionList.h"

#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"

#include <QFileInfo>

void LoadFromSessionFile(const QString &fileName, ResourceList &list, TextEncoding &encoding)
{
    list.clear();
    if (QFileInfo::exists(fileName)) {
        SessionFile::Loaded loaded = SessionFile::read(fileName);
        encoding = loaded.encoding;
        list.setRows(std::move(loaded.parsed.rows));
        if (!loaded.parsed.error.isEmpty())
            throw Exception(loaded.parsed.error);
    }
    list.sortRows();
}

TextEncoding SaveToSessionFile(const QString &fileName, const ResourceList &list, TextEncoding encoding)
{
    return SessionFile::write(fileName, list.rows(), encoding);
}

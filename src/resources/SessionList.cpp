#include "resources/SessionList.h"

#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"

SessionLoad LoadFromSessionFile(const QString &fileName, ResourceList &list)
{
    SessionLoad out;
    list.clear();
    try {
        if (std::optional<SessionFile::Loaded> loaded = SessionFile::read(fileName)) {
            out.encoding = loaded->encoding;
            out.complete = loaded->complete();
            out.error = std::move(loaded->error);
            out.notice = std::move(loaded->notice);
            list.setRows(std::move(loaded->rows));
        }
    } catch (const Exception &e) {
        out.complete = false;
        out.error = e.message();
    }
    list.sortRows();
    return out;
}

TextEncoding SaveToSessionFile(const QString &fileName, const ResourceList &list, TextEncoding encoding)
{
    return SessionFile::write(fileName, list.rows(), encoding);
}

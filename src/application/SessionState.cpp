#include "application/SessionState.h"

#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionList.h"

#include <QFileInfo>

QString SessionState::open(const QString &path, ResourceList &list, bool rememberAsLast)
{
    m_fileName = path;
    const SessionLoad load = LoadFromSessionFile(m_fileName, list);
    m_encoding = load.encoding;
    m_complete = load.complete;
    if (!load.error.isEmpty())
        throw Exception(load.error);
    if (rememberAsLast)
        m_lastFile = m_fileName;
    if (load.notice.isEmpty())
        return QString();
    const QString name = QFileInfo(path).fileName();
    return QStringLiteral("%1 was not read completely. %2.\n\nThe list holds the %3 resources read before that point. "
                          "Save will ask for a file name, so that %1 is not replaced by them.")
        .arg(name, load.notice, QString::number(list.count()));
}

QString SessionState::fileToRestore() const
{
    if (m_lastFile.isEmpty() || !QFileInfo::exists(m_lastFile))
        return QString();
    return m_lastFile;
}

void SessionState::save(const ResourceList &list, const QString &newName)
{
    if (!newName.isEmpty()) {
        // A new file starts in UTF-8; one saved in place of a file read only
        // in part keeps that file's encoding.
        if (m_complete)
            m_encoding = TextEncoding::Utf8;
        m_fileName = newName;
    }
    m_lastFile = m_fileName;
    m_encoding = SaveToSessionFile(m_fileName, list, m_encoding);
    m_complete = true;
}

#include "application/SessionState.h"

#include "resources/SessionList.h"

#include <QFileInfo>

void SessionState::open(const QString &path, ResourceList &list, bool rememberAsLast)
{
    m_fileName = path;
    m_encoding = TextEncoding::Utf8;
    LoadFromSessionFile(m_fileName, list, m_encoding);
    if (rememberAsLast)
        m_lastFile = m_fileName;
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
        m_fileName = newName;
        m_encoding = TextEncoding::Utf8;
    }
    m_lastFile = m_fileName;
    m_encoding = SaveToSessionFile(m_fileName, list, m_encoding);
}

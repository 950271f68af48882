#pragma once

#include "resources/TextCodec.h"

#include <QString>

class ResourceList;

// The session file the window works on: its name, the stored value
// "LastFile", and the encoding the file is written back in.
class SessionState {
public:
    const QString &fileName() const { return m_fileName; }
    const QString &lastFile() const { return m_lastFile; }
    void setLastFile(const QString &path) { m_lastFile = path; }

    // Makes `path` the current file and loads it into `list`. `rememberAsLast`
    // makes it "LastFile" once it has loaded. A failed load raises its error
    // after the name has been taken and before "LastFile" is set.
    void open(const QString &path, ResourceList &list, bool rememberAsLast);

    // The last file, when it still exists: reopened at start.
    QString fileToRestore() const;

    // Save needs a name from the user first.
    bool needsName() const { return m_fileName.isEmpty(); }
    // Writes the list to the current file, or to `newName` when one is given
    // (it becomes the current file). "LastFile" is set before writing, so a
    // failed write still leaves it naming the file. Raises the write's error.
    void save(const ResourceList &list, const QString &newName = QString());

private:
    QString m_fileName;
    QString m_lastFile;
    TextEncoding m_encoding = TextEncoding::Utf8;
};

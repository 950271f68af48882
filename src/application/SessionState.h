#pragma once

#include "resources/TextCodec.h"

#include <QString>

class ResourceList;

// The session file the window works on: its name, the stored value
// "LastFile", the encoding the file is written back in, and whether the list
// holds all of the file.
class SessionState {
public:
    const QString &fileName() const { return m_fileName; }
    const QString &lastFile() const { return m_lastFile; }
    void setLastFile(const QString &path) { m_lastFile = path; }

    // Makes `path` the current file and loads it into `list`. `rememberAsLast`
    // makes it "LastFile" once it has loaded. A failed load raises its error
    // after the name has been taken and before "LastFile" is set. Returns what
    // the user must be told when the file loaded but not all of it was read;
    // empty otherwise.
    QString open(const QString &path, ResourceList &list, bool rememberAsLast);

    // The last file, when it still exists: reopened at start.
    QString fileToRestore() const;

    // The list holds every row of the current file (or there is no file). A
    // file that was read only in part is never replaced without the user
    // choosing it again.
    bool complete() const { return m_complete; }
    // Save needs a name from the user first: there is no file yet, or the
    // current one was not read completely.
    bool needsName() const { return m_fileName.isEmpty() || !m_complete; }
    // Writes the list to the current file, or to `newName` when one is given
    // (it becomes the current file). "LastFile" is set before writing, so a
    // failed write still leaves it naming the file. Raises the write's error.
    void save(const ResourceList &list, const QString &newName = QString());

private:
    QString m_fileName;
    QString m_lastFile;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_complete = true;
};

#pragma once

#include "application/ResultWriter.h"
#include "base/FileDescriptor.h"
#include "resources/ResourceRow.h"

#include <QString>

#include <optional>

// The monitor's log: each result appended to a file as one JSON Lines line,
// with the fields and the writer of the command line's --format json, so
// that one reader serves both. Other programs (or a second window) may
// append to the same file: each line goes in one write to a file opened
// for appending, which the system never interleaves with another's.
class ResultLog {
public:
    // Opens PATH for appending, made (0644 less the umask) when missing;
    // closes a file open before. The reason in words when it cannot be
    // opened ("Cannot open file X, permission denied"). Only a regular
    // file is taken: a folder, a pipe or a device is refused.
    std::optional<QString> open(const QString &path);
    bool isOpen() const { return m_fd.valid(); }
    QString path() const { return m_path; }
    // Appends ROW's line; the reason in words when the write failed
    // ("Cannot write file X, no space left on device"). Nothing is written
    // for a row never tested.
    std::optional<QString> append(const ResourceRow &row);
    void close();

private:
    FileDescriptor m_fd;
    QString m_path;
    ResultWriter m_writer{ResultFormat::JsonLines};
};

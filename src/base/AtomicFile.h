#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Why a file could not be replaced.
struct FileReplaceFailure {
    // The system's error number (errno): EISDIR for a folder in the file's
    // place, EACCES for a file its owner made read-only. A pipe, a device or
    // a socket in the file's place has no error number that says so: then
    // `notRegularFile` is set and `error` is 0.
    int error = 0;
    bool notRegularFile = false;

    // The reason in the system's words, lower-case to follow a comma or a
    // colon in the caller's message: "permission denied", "not a regular file".
    QString cause() const;
};

// Writes BYTES as the whole new content of the file PATH, making the file
// when there is none. Either the new content is there, complete and synced,
// or the old file is as it was and nothing is left beside it: a full disk,
// a folder the user may not write or a crash at any point cannot leave a
// mix or a part. The bytes go to a new file beside the target, which is
// synced and renamed over it; the folder is synced after.
//
// A symbolic link stays a link: the file it points at is replaced, or made
// when the link points at nothing yet. The old file's permissions are kept
// and, where the system allows it, its owner. What is not a regular file is
// refused, and so is a file its owner made read-only, as a write in place
// would be refused.
//
// Returns nothing on success.
[[nodiscard]] std::optional<FileReplaceFailure> replaceFileAtomically(const QString &path, const QByteArray &bytes);

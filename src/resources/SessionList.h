#pragma once

#include "resources/TextCodec.h"

#include <QString>

class ResourceList;

// What loading a session file gave, for the window to tell the user.
struct SessionLoad {
    TextEncoding encoding = TextEncoding::Utf8; // as read, for writing back the same way
    bool complete = true; // false when reading stopped before the end of the file (error, NUL, limit, unreadable)
    QString error;        // the error to show (long values shortened); empty when none
    QString notice;       // set when reading stopped early without an error (a NUL byte): what the user is told
};

// Replaces the list's rows with the file's and sorts them with the list's
// current sort. A missing file leaves the list empty, with no error. An
// unreadable file leaves it empty, with an error. A line that stops
// reading leaves the rows before it (and, for an image index that is not
// an integer, one empty row for that line), with an error. Never throws for
// what is in or around the file.
SessionLoad LoadFromSessionFile(const QString &fileName, ResourceList &list);

// Writes every row; an empty list writes nothing. Returns the encoding used.
// Throws Exception "Cannot create file %s, <cause>".
TextEncoding SaveToSessionFile(const QString &fileName, const ResourceList &list, TextEncoding encoding);

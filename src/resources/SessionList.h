#pragma once

#include "resources/TextCodec.h"

#include <QString>

class ResourceList;

// Replaces the list's rows with the file's and sorts them with the list's
// current sort. A missing file leaves the list empty. `encoding` receives
// the file's encoding, for writing it back the same way. Throws on an
// unreadable file (list empty) and on a line whose image index is not an
// integer (rows up to it kept, plus an empty row for it).
void LoadFromSessionFile(const QString &fileName, ResourceList &list, TextEncoding &encoding);

// Writes every row; an empty list writes nothing. Returns the encoding used.
TextEncoding SaveToSessionFile(const QString &fileName, const ResourceList &list, TextEncoding encoding);

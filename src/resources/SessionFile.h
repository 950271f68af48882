#pragma once

#include "resources/ResourceRow.h"
#include "resources/TextCodec.h"

#include <QString>
#include <vector>

// The session file: one row per line, every field followed by a comma:
// image index, caption, then each sub-item. No quoting, no header.
namespace SessionFile {

struct Parsed {
    std::vector<ResourceRow> rows;
    // Set when a line's image index is not an integer: the rows before it are
    // kept, followed by one empty row for the failing line, and reading stops.
    QString error;
};

Parsed parse(const QString &text);
QString lineOf(const ResourceRow &row);
QString format(const std::vector<ResourceRow> &rows);

// Reads an integer the way the image field is read: optional blanks and sign,
// decimal or hexadecimal ("$1F", "0x1F"), nothing after.
bool parseInteger(const QString &text, int &value);

struct Loaded {
    Parsed parsed;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Throws Exception "Cannot open file %s" when the file cannot be read.
Loaded read(const QString &fileName);

// Writes atomically: the old file stays whole if the write fails half-way.
// Writes nothing at all for an empty list. Throws "Cannot create file %s".
// Returns the encoding actually written.
TextEncoding write(const QString &fileName, const std::vector<ResourceRow> &rows, TextEncoding encoding);

} // namespace SessionFile

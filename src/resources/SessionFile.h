#pragma once

#include "resources/ResourceRow.h"
#include "resources/TextCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// The session file: one row per line, every field followed by a comma:
// image index, caption, then each sub-item. No quoting, no header.
namespace SessionFile {

// What one file may take, so that a damaged or hostile file cannot take
// the machine's memory. A row the program writes has seven fields; each
// extra address joined into the address cell adds one. An office list of
// thousands of rows is a few hundred kilobytes.
struct Limits {
    // Far above any row the program writes, low enough that a line of
    // nothing but commas stops at once.
    qsizetype fieldsPerLine = 256;
    // All fields of all rows together, a row counting at least two (image
    // and caption): bounds the memory of many lines of many empty fields,
    // which cost far more in the list than in the file (an empty field two
    // bytes there, some 24 bytes here). About 285,000 seven-field rows.
    qint64 fieldsPerFile = 2'000'000;
    // Checked before anything is read.
    qint64 fileMegabytes = 64;
};

struct Parsed {
    std::vector<ResourceRow> rows;
    // Set when reading stopped at a line. A line whose image index is not
    // an integer leaves the rows before it followed by one empty row for
    // the failing line; a line past a limit leaves the rows before it.
    QString error;
};

Parsed parse(const QString &text, const Limits &limits = Limits());
QString lineOf(const ResourceRow &row);
QString format(const std::vector<ResourceRow> &rows);

// Reads an integer the way the image field is read: optional blanks and sign,
// decimal or hexadecimal ("$1F", "0x1F"), nothing after.
bool parseInteger(QStringView text, int &value);

struct Loaded {
    std::vector<ResourceRow> rows;
    TextEncoding encoding = TextEncoding::Utf8;
    QString error;  // reading stopped at a line (see Parsed)
    QString notice; // reading stopped early without an error: at a NUL
    bool complete() const { return error.isEmpty() && notice.isEmpty(); }
};

// The file's bytes to rows, and rows to the bytes of a file: what read and
// write do between the disk and the list.
Loaded fromBytes(QByteArray bytes, const Limits &limits = Limits());
QByteArray toBytes(const std::vector<ResourceRow> &rows, TextEncoding encoding, TextEncoding *used = nullptr);

// Nothing when the file does not exist. Throws Exception "Cannot open file
// %s, <cause>" when it cannot be read, and "File %s is larger than N MB".
// Never blocks: a pipe, a device or a socket is refused without reading.
std::optional<Loaded> read(const QString &fileName, const Limits &limits = Limits());

// Writes atomically: the old file stays whole if the write fails half-way,
// and keeps its permissions. Writes nothing at all for an empty list.
// Throws Exception "Cannot create file %s, <cause>". Returns the encoding
// actually written.
TextEncoding write(const QString &fileName, const std::vector<ResourceRow> &rows, TextEncoding encoding);

} // namespace SessionFile

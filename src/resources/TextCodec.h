#pragma once

#include <QByteArray>
#include <QString>

// Session files are 8-bit text. Files written by the older Windows program
// are in Windows-1252, ours are UTF-8, and a file saved from Notepad as
// "Unicode" is UTF-16 with a byte-order mark. A file is written back in the
// encoding it was read in, so that a load and save keeps it byte for byte.
enum class TextEncoding {
    Utf8,
    Utf8WithBom,
    Windows1252,
    // A UTF-8 byte-order mark in front of text that is not UTF-8: an editor
    // added the mark to an older file. The mark is kept as it was.
    Windows1252WithBom,
    // UTF-16 is recognised by its byte-order mark only, and written with it.
    Utf16Le,
    Utf16Be,
};

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
    // A NUL ends the text: set when one did, and the bytes after it were not
    // decoded.
    bool endedAtNul = false;
};

// Decodes up to the first NUL (a NUL byte, or a NUL character in UTF-16):
// UTF-16 when the bytes start with its byte-order mark, valid UTF-8 as
// UTF-8, anything else as Windows-1252. A UTF-8 byte-order mark is read as
// a mark in front of either of the last two.
DecodedText decodeText(const QByteArray &bytes);

// Encodes in the requested encoding, byte-order mark included. Text that
// Windows-1252 cannot hold is written as UTF-8 instead, and so is text whose
// Windows-1252 bytes would read back as other, UTF-8 text, so that nothing
// is lost or changed; `used` tells which encoding was written.
QByteArray encodeText(const QString &text, TextEncoding requested, TextEncoding *used = nullptr);

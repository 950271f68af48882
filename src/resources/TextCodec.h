#pragma once

#include <QByteArray>
#include <QString>

// Session files are 8-bit text. Files written by the older Windows program
// are in Windows-1252; ours are UTF-8. A file is written back in the
// encoding it was read in, so that a load and save keeps it byte for byte.
enum class TextEncoding { Utf8, Utf8WithBom, Windows1252 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Decodes up to the first NUL byte: valid UTF-8 as UTF-8, anything else as
// Windows-1252.
DecodedText decodeText(const QByteArray &bytes);

// Encodes in the requested encoding. Text that Windows-1252 cannot hold is
// written as UTF-8 instead, so that nothing is lost; `used` tells which.
QByteArray encodeText(const QString &text, TextEncoding requested, TextEncoding *used = nullptr);

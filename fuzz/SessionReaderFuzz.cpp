// Feeds arbitrary bytes through the session file's reader and writer, the
// same functions Open and Save use, and checks what must hold for any file:
// the rows read from it, once written, read back as the same rows in the
// same encoding, and writing those again gives the same bytes.

#include "FuzzProperty.h"
#include "resources/SessionFile.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool sameRows(const std::vector<ResourceRow> &a, const std::vector<ResourceRow> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].imageIndex != b[i].imageIndex || a[i].caption != b[i].caption || a[i].subItems != b[i].subItems)
            return false;
    return true;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Plain ASCII is the same bytes in UTF-8 and in Windows-1252, and reads as
// UTF-8; the writer keeps the Windows-1252 it was given for later edits.
bool sameEncoding(TextEncoding written, TextEncoding readBack, const QByteArray &bytes)
{
    if (written == readBack)
        return true;
    if (written == TextEncoding::Windows1252 && readBack == TextEncoding::Utf8)
        return isAscii(bytes);
    if (written == TextEncoding::Windows1252WithBom && readBack == TextEncoding::Utf8WithBom)
        return isAscii(QByteArrayView(bytes).sliced(3));
    return false;
}

// Windows-1252 text is written as UTF-8 where its bytes would read back as
// other text; the byte-order mark stays as it was. Nothing else changes.
bool writtenAsRead(TextEncoding read, TextEncoding written)
{
    return written == read || (read == TextEncoding::Windows1252 && written == TextEncoding::Utf8)
           || (read == TextEncoding::Windows1252WithBom && written == TextEncoding::Utf8WithBom);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SessionFile::Loaded first = SessionFile::fromBytes(bytes);
    // Values in messages are shortened: no message grows with the file.
    if (first.error.size() > 120 || first.notice.size() > 120)
        fail("a message longer than 120 characters");
    if (first.rows.empty())
        return 0; // an empty list writes no file

    TextEncoding used = first.encoding;
    const QByteArray written = SessionFile::toBytes(first.rows, first.encoding, &used);
    if (!writtenAsRead(first.encoding, used))
        fail("the file is written in an encoding other than its own");
    const SessionFile::Loaded again = SessionFile::fromBytes(written);
    if (!again.complete())
        fail("the written file does not read to its end");
    if (!sameRows(first.rows, again.rows))
        fail("the written rows read back differently");
    if (!sameEncoding(used, again.encoding, written))
        fail("the written file reads back in another encoding");

    TextEncoding usedAgain = again.encoding;
    if (SessionFile::toBytes(again.rows, again.encoding, &usedAgain) != written || usedAgain != again.encoding)
        fail("writing the rows read back gives other bytes");
    return 0;
}

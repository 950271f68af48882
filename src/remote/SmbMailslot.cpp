#include "remote/SmbMailslot.h"

#include "base/ByteWriter.h"

namespace smb {

namespace {

constexpr int kHeaderSize = 32;
constexpr quint8 kWordCount = 17; // fourteen fixed words and three setup words
constexpr quint16 kPriority = 1;  // what Windows sends for second-class messages

} // namespace

QByteArray mailslotPath(QByteArrayView slot) { return QByteArray("\\MAILSLOT\\") + slot.toByteArray().toUpper(); }

QByteArray mailslotWrite(QByteArrayView path, QByteArrayView data)
{
    const auto dataCount = static_cast<quint16>(data.size());
    const auto byteCount = static_cast<quint16>(path.size() + 1 + data.size());
    const auto dataOffset = static_cast<quint16>(kHeaderSize + 1 + 2 * kWordCount + 2 + path.size() + 1);

    QByteArray out;
    out.reserve(dataOffset + data.size());
    // The header: the command, and zeros for everything a datagram has no
    // use for (status, flags, tree, process, user, multiplex ids).
    out.append("\xFFSMB", 4);
    out.append(static_cast<char>(kTransaction));
    out.append(QByteArray(kHeaderSize - 5, '\0'));

    out.append(static_cast<char>(kWordCount));
    appendLe16(out, 0);          // total parameter count
    appendLe16(out, dataCount);  // total data count
    appendLe16(out, 0);          // max parameter count: no answer is wanted
    appendLe16(out, 0);          // max data count
    out.append('\0');            // max setup count
    out.append('\0');            // reserved
    appendLe16(out, 0);          // flags
    appendLe32(out, 0);          // timeout: return at once
    appendLe16(out, 0);          // reserved
    appendLe16(out, 0);          // parameter count
    appendLe16(out, dataOffset); // parameter offset: no parameters, where the data start
    appendLe16(out, dataCount);
    appendLe16(out, dataOffset);
    out.append('\3'); // setup count
    out.append('\0'); // reserved
    appendLe16(out, kMailslotWrite);
    appendLe16(out, kPriority);
    appendLe16(out, kSecondClass);

    appendLe16(out, byteCount);
    out += path;
    out.append('\0');
    out += data;
    return out;
}

} // namespace smb

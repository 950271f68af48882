// Feeds arbitrary bytes, as if a server sent them, through the reader of the
// SMB negotiate answer, and checks what must hold for any stream: a stream
// it is still waiting on reads the same way at every shorter length, a
// decision never depends on bytes after the first message, and a clock it
// reads comes from within the first message after any keep-alives, with a
// zone it can use.

#include "FuzzProperty.h"
#include "remote/SmbNegotiate.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool same(const smb::NegotiateReply &a, const smb::NegotiateReply &b)
{
    return a.kind == b.kind && a.time.fileTime == b.time.fileTime && a.time.zoneMinutes == b.time.zoneMinutes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    const smb::NegotiateReply reply = smb::readNegotiateReply(stream);

    if (reply.kind == smb::NegotiateReply::Incomplete) {
        // Still waiting: no shorter stream can have been decided.
        for (const qsizetype n : {qsizetype(0), stream.size() / 2, stream.size() - 1})
            if (n >= 0 && smb::readNegotiateReply(stream.first(n)).kind != smb::NegotiateReply::Incomplete)
                fail("a prefix of a stream still waited on was decided");
        return 0;
    }
    // Decided: more bytes change nothing.
    if (!same(reply, smb::readNegotiateReply(stream + QByteArray("\xFFSMB\x72 trailing", 12))))
        fail("bytes after the answer changed the decision");
    if (reply.kind != smb::NegotiateReply::Time)
        return 0;
    // Keep-alives in front are no part of the answer, and read past.
    const QByteArray answer = stream.sliced(smb::keepAlivePrefix(stream));
    if (answer.size() < 4)
        fail("a clock read without a message");
    const qsizetype length = (qsizetype(quint8(answer[1])) << 16) | (quint8(answer[2]) << 8) | quint8(answer[3]);
    if (quint8(answer[0]) != 0 || length > smb::kMaxReply || answer.size() < 4 + length)
        fail("a clock read past the message or from one too long");
    if (reply.time.zoneMinutes != smb::kTimeZoneUnknown
        && (reply.time.zoneMinutes < -1440 || reply.time.zoneMinutes > 1440))
        fail("a zone beyond a day");
    // The message alone reads the same clock.
    if (!same(reply, smb::readNegotiateReply(answer.first(4 + length))))
        fail("the clock depends on bytes after the message");
    return 0;
}

#include "discovery/HttpResponse.h"

#include <QByteArrayList>

#include <optional>

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";
constexpr int kMaxSizeDigits = 8; // a chunk or body size, in hexadecimal or decimal

HttpResponse refused() { return HttpResponse{HttpResponse::Refused, {}}; }
HttpResponse incomplete() { return HttpResponse{HttpResponse::Incomplete, {}}; }

// A size of at most kMaxSizeDigits digits in BASE, and nothing else.
std::optional<qsizetype> sizeField(QByteArrayView text, int base)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > kMaxSizeDigits)
        return std::nullopt;
    bool ok = false;
    const qsizetype n = text.toLongLong(&ok, base);
    if (!ok || n < 0 || text.startsWith('+') || text.startsWith('-'))
        return std::nullopt;
    return n;
}

// The chunked body from BYTES.
HttpResponse dechunk(QByteArrayView bytes, qsizetype maxBody)
{
    HttpResponse out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype lineEnd = bytes.indexOf(kLineEnd, pos);
        if (lineEnd < 0)
            return bytes.size() - pos > kMaxSizeDigits + 64 ? refused() : incomplete();
        QByteArrayView line = bytes.sliced(pos, lineEnd - pos);
        if (const qsizetype semicolon = line.indexOf(';'); semicolon >= 0)
            line = line.first(semicolon); // chunk extensions are ignored
        const auto size = sizeField(line, 16);
        if (!size || out.body.size() + *size > maxBody)
            return refused();
        pos = lineEnd + kLineEnd.size();
        if (*size == 0) // trailers are not read: the body is all there
            return HttpResponse{HttpResponse::Complete, out.body};
        if (bytes.size() - pos < *size + kLineEnd.size())
            return incomplete();
        out.body.append(bytes.sliced(pos, *size));
        pos += *size;
        if (bytes.sliced(pos, kLineEnd.size()) != kLineEnd)
            return refused();
        pos += kLineEnd.size();
    }
}

} // namespace

HttpResponse readHttpResponse(QByteArrayView received, bool closed, qsizetype maxBody)
{
    const qsizetype headerEnd = received.indexOf("\r\n\r\n");
    if (headerEnd < 0 || headerEnd > kMaxHttpHeader) {
        if (received.size() > kMaxHttpHeader || closed)
            return refused();
        return incomplete();
    }
    const QByteArrayList lines = received.first(headerEnd).toByteArray().split('\n');
    const QByteArrayList status = lines[0].trimmed().split(' ');
    if (status.size() < 2 || !status[0].startsWith("HTTP/1.") || status[1] != "200")
        return refused();
    std::optional<qsizetype> length;
    bool chunked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return refused();
        const QByteArray name = line.first(colon).trimmed().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed();
        if (name == "content-length") {
            const auto n = sizeField(value, 10);
            if (!n || (length && *length != *n))
                return refused();
            length = n;
        } else if (name == "transfer-encoding") {
            chunked = value.toLower() == "chunked";
            if (!chunked)
                return refused();
        }
    }
    const QByteArrayView body = received.sliced(headerEnd + 4);
    if (chunked)
        return dechunk(body, maxBody);
    if (length) {
        if (*length > maxBody)
            return refused();
        if (body.size() < *length)
            return closed ? refused() : incomplete();
        return HttpResponse{HttpResponse::Complete, body.first(*length).toByteArray()};
    }
    if (body.size() > maxBody)
        return refused();
    return closed ? HttpResponse{HttpResponse::Complete, body.toByteArray()} : incomplete();
}

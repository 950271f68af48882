#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// An HTTP/1.x response read as it arrives, for the one request a metadata
// Get makes: a status line, headers, and a body whose end the
// Content-Length, the chunked transfer coding or the closed connection
// tells.
struct HttpResponse {
    enum State {
        Incomplete, // more is to come
        Complete,   // body holds the whole body of a 200 answer
        Refused,    // another status, a malformed or oversized answer
    };
    State state = Incomplete;
    QByteArray body;
};

inline constexpr qsizetype kMaxHttpHeader = 16 * 1024;

// Reads RECEIVED, everything the server sent so far; CLOSED says the
// server closed the connection after it. A body longer than MAXBODY is
// refused, and so are headers longer than kMaxHttpHeader.
HttpResponse readHttpResponse(QByteArrayView received, bool closed, qsizetype maxBody);

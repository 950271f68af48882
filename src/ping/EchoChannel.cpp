#include "ping/EchoChannel.h"

#include <QEventLoop>

#include <optional>

EchoOutcome EchoChannel::exchange(const EchoRequest &request)
{
    std::optional<EchoOutcome> outcome;
    QEventLoop loop;
    const int ticket = send(request, [&outcome, &loop](const EchoOutcome &o) {
        outcome = o;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    if (!outcome) {
        // The wait was ended from outside (the application is quitting).
        cancel(ticket);
        outcome = EchoOutcome{};
        outcome->reply.Status = IP_REQ_TIMED_OUT;
    }
    return *outcome;
}

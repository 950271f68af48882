#include "sysinfo/Common.h"

#include "base/Exception.h"

#include <QTextStream>
#include <exception>
#include <utility>

namespace {

GuardedMessageSink &messageSink()
{
    static GuardedMessageSink sink;
    return sink;
}

void report(const QString &text)
{
    if (const GuardedMessageSink &sink = messageSink()) {
        sink(text);
        return;
    }
    QTextStream(stdout) << text << Qt::endl;
}

} // namespace

void setGuardedMessageSink(GuardedMessageSink sink) { messageSink() = std::move(sink); }

void CallGuarded(const QString &name, TExceptionMode mode, const std::function<void()> &step)
{
    QString message;
    try {
        step();
        return;
    } catch (const Exception &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    }
    const QString text = name + QStringLiteral(": ") + message;
    switch (mode) {
    case emRaise:
        throw Exception(text);
    case emMessage:
        report(text);
        break;
    case emSilent:
        break;
    }
}

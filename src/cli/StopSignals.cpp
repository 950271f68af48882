#include "cli/StopSignals.h"

#include "base/Exception.h"
#include "base/SystemError.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

// The pipe's writing end, for the handler; one StopSignals at a time.
volatile std::sig_atomic_t g_writeEnd = -1;

extern "C" void onStopSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_writeEnd >= 0) {
        // A full pipe needs no more: a wake-up is pending already.
        [[maybe_unused]] const auto written = ::write(g_writeEnd, &byte, 1);
    }
    errno = saved;
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(QStringLiteral("Cannot watch for signals, %1").arg(systemErrorText(errno)));
    m_read.reset(ends[0]);
    m_write.reset(ends[1]);
    g_writeEnd = m_write.get();
    m_notifier = std::make_unique<QSocketNotifier>(m_read.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::readPipe);
    handle(SIGINT, onStopSignal);
    handle(SIGTERM, onStopSignal);
}

StopSignals::~StopSignals()
{
    handle(SIGINT, SIG_DFL);
    handle(SIGTERM, SIG_DFL);
    g_writeEnd = -1;
}

void StopSignals::readPipe()
{
    unsigned char bytes[16];
    ssize_t got;
    while ((got = ::read(m_read.get(), bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < got; ++i)
            emit received(bytes[i], ++m_count);
}

} // namespace cli

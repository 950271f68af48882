#pragma once

#include "application/ResultWriter.h"
#include "application/Workspace.h"
#include "ping/EchoSettings.h"
#include "ping/HostResolver.h"
#include "ping/LinuxEchoChannel.h"
#include "resources/ResourceRow.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <exception>
#include <vector>

// What the command line asks for, checked, and what both of its commands
// share: the output, the messages and the core they run on.
namespace cli {

struct Job {
    ResultFormat format = ResultFormat::Text;
    EchoSettings settings;
    std::vector<ResourceRow> rows; // every row of the file, ticked
    QString output;                // --output: the file OpenMetrics replaces; empty: standard output
    std::chrono::seconds interval{30};
};

// The core with the system's platform, holding the job's rows and settings.
// Says on standard error when this machine cannot ping: every row then
// ends as the echo service's failure.
class Runtime {
public:
    explicit Runtime(Job &job);
    Workspace &workspace() { return m_workspace; }

private:
    SystemResolver m_resolver;
    LinuxEchoChannelFactory m_echo;
    Workspace m_workspace;
};

// "lumeo: MESSAGE" on standard error; returns STATUS.
int fail(int status, const QString &message);
// BYTES on standard output, at once.
void out(const QByteArray &bytes);
// OpenMetrics' exposition to where the job says: replaces --output
// atomically, or goes to standard output. False (and said why) when the
// file could not be replaced.
bool publish(const Job &job, const QByteArray &exposition);
// What a sweep that failed says: its reason on standard error, and
// kUnusable.
int failed(std::exception_ptr failure);

int sweep(Job &job);
int monitor(Job &job);

} // namespace cli

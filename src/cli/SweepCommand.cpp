// --sweep: every row once, each printed as its test completes.
#include "application/PingSweep.h"
#include "cli/CommandLine.h"
#include "cli/Job.h"
#include "resources/ResourceList.h"

#include <QCoreApplication>

namespace cli {

int sweep(Job &job)
{
    Runtime runtime(job);
    Workspace &workspace = runtime.workspace();
    ResourceList &list = workspace.list();

    ResultWriter writer(job.format);
    out(writer.start());
    PingSweep &sweep = workspace.sweep();
    QObject::connect(&sweep, &PingSweep::rowFinished, &sweep,
                     [&](int row, const PingResult &) { out(writer.add(list.row(row))); });
    std::exception_ptr failure;
    QObject::connect(&sweep, &PingSweep::failed, &sweep, [&](std::exception_ptr e) { failure = e; });
    // The program's one event loop runs until the sweep is over.
    QObject::connect(&sweep, &PingSweep::finished, &sweep, [] { QCoreApplication::quit(); });
    sweep.start();
    if (sweep.running())
        QCoreApplication::exec();
    const bool published = writer.streams() ? (out(writer.finish()), true) : publish(job, writer.finish());
    if (failure)
        return failed(failure);
    if (!published)
        return kUnusable;
    // A host that a probe proved up answered, if not the echo.
    for (const ResourceRow &row : list.rows())
        if (!row.result || !row.result->up())
            return kSomeSilent;
    return kAllAnswered;
}

} // namespace cli

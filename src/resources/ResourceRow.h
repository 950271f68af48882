#pragma once

#include "resources/PingResult.h"
#include "resources/ResultHistory.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// Status pictures a row can show; a session file may carry any index.
enum StatusImage : int {
    imgNotTested = 0,
    imgComputer = 2, // "a computer": up, though its echo got no answer
    imgFailure = 5,
    imgReply = 6,
    StatusImageCount = 7
};

// Sub-item positions of rows the program creates.
enum SubItem : int {
    siResource = 0,
    siAddress = 1,
    siWorkgroup = 2,
    siMessage = 3,
    siLastTest = 4,
    StandardSubItemCount = 5
};

// One resource: a row of the main list. Rows loaded from a file may hold
// fewer or more sub-items than the five the program creates.
struct ResourceRow {
    QString caption;
    int imageIndex = imgNotTested;
    bool checked = true;
    QStringList subItems;
    // Identity that survives sorting and removal of other rows, so that a
    // late outcome can find its own row (or learn that it is gone).
    std::uint64_t id = 0;
    // The last test's outcome as data; none until the row is tested. Not
    // kept in the session file.
    std::optional<PingResult> result;
    // The recent outcomes before it, for the statistics and the chart; made
    // with the row's first outcome. Shared, so that a row moved by a sort
    // or a reload of the list keeps it without copying it.
    std::shared_ptr<ResultHistory> history;

    static ResourceRow created(const QString &name, const QString &address, const QString &workgroup)
    {
        ResourceRow r;
        r.subItems = {name, address, workgroup, QStringLiteral("<not tested>"), QString()};
        return r;
    }
    QString subItem(int i) const { return i >= 0 && i < subItems.size() ? subItems[i] : QString(); }
};

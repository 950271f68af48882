#pragma once

#include <QString>
#include <QStringView>

// Shortens a value quoted in a message: a message box that has to lay out a
// line of a million characters keeps the window frozen for seconds. Keeps
// the first `max` characters and marks the cut with "...". A surrogate pair
// is never split, so the shortened text stays valid.
inline QString elided(QStringView value, qsizetype max = 60)
{
    if (value.size() <= max)
        return value.toString();
    qsizetype keep = max;
    if (keep > 0 && value[keep - 1].isHighSurrogate())
        --keep;
    return value.first(keep).toString() + QLatin1String("...");
}

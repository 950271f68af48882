#include "application/StatisticsText.h"

namespace {

HistoryStats statsOfRow(const ResourceRow &row) { return row.history ? statisticsOf(*row.history) : HistoryStats{}; }

} // namespace

QStringList statisticsTitles()
{
    return {QStringLiteral("Loss %"), QStringLiteral("Average"), QStringLiteral("Minimum"), QStringLiteral("Maximum"),
            QStringLiteral("Jitter")};
}

QString roundTripText(std::optional<qint64> microseconds)
{
    if (!microseconds)
        return QString();
    const double ms = double(*microseconds) / 1000.0;
    // Decided on the rounded value, so that 9.996 ms reads 10.0, not 10.00.
    const bool belowTen = qRound64(ms * 100.0) < 1000;
    return QString::number(ms, 'f', belowTen ? 2 : 1) + QStringLiteral(" ms");
}

QString lossText(const HistoryStats &stats)
{
    if (stats.tests == 0)
        return QString();
    // Whole percentages read as such; a third of the tests lost as 33.3.
    const double rounded = qRound(stats.lossPercent * 10.0) / 10.0;
    return QString::number(rounded, 'f', rounded == qRound(rounded) ? 0 : 1);
}

QString statisticsCell(const HistoryStats &stats, int column)
{
    if (stats.tests == 0)
        return QString();
    switch (column) {
    case stLoss: // the column's title says it is a percentage
        return lossText(stats);
    case stAverage:
        return roundTripText(stats.average);
    case stMinimum:
        return roundTripText(stats.minimum);
    case stMaximum:
        return roundTripText(stats.maximum);
    case stJitter:
        return roundTripText(stats.jitter);
    default:
        return QString();
    }
}

QString statisticsToolTip(const HistoryStats &stats)
{
    if (stats.tests == 0)
        return QString();
    QStringList lines;
    lines << QStringLiteral("%1 tests, %2 lost (%3 %)").arg(stats.tests).arg(stats.lost).arg(lossText(stats));
    if (stats.average)
        lines << QStringLiteral("Round trip: minimum %1, average %2, maximum %3")
                     .arg(roundTripText(stats.minimum), roundTripText(stats.average), roundTripText(stats.maximum));
    if (stats.jitter)
        lines << QStringLiteral("Jitter: %1").arg(roundTripText(stats.jitter));
    return lines.join(QLatin1Char('\n'));
}

ResourceList::ExtraColumns statisticsColumns()
{
    return ResourceList::ExtraColumns{
        statisticsTitles(), [](const ResourceRow &row, int column) { return statisticsCell(statsOfRow(row), column); }};
}

QString rowStatisticsToolTip(const ResourceRow &row) { return statisticsToolTip(statsOfRow(row)); }

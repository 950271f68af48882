#pragma once

#include "resources/ResourceList.h"
#include "resources/ResultHistory.h"

#include <QString>
#include <QStringList>

#include <optional>

// How the statistics of a row's history read in the list and its tooltip.
// Round trips are in milliseconds, with two decimals below 10 ms (a LAN's
// fractions matter there) and one above.

// The statistics columns, left to right.
enum StatisticsColumn : int {
    stLoss,
    stAverage,
    stMinimum,
    stMaximum,
    stJitter,
    StatisticsColumnCount
};

QStringList statisticsTitles();
// What column COLUMN shows for STATS; empty while there is no sample (and,
// for the round trips, while no reply came).
QString statisticsCell(const HistoryStats &stats, int column);
// "0.42 ms"; empty for none.
QString roundTripText(std::optional<qint64> microseconds);
// The share of tests lost, in percent ("33.3"); empty without a sample.
QString lossText(const HistoryStats &stats);
// The row's tooltip: every statistic in a few lines; empty without a sample.
QString statisticsToolTip(const HistoryStats &stats);

// The list's extra columns and tooltip as the statistics fill them, from
// each row's history.
ResourceList::ExtraColumns statisticsColumns();
QString rowStatisticsToolTip(const ResourceRow &row);

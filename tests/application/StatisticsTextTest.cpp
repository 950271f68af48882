// How a history's statistics read in the list's columns and the row's tooltip.
#include "application/StatisticsText.h"

#include <gtest/gtest.h>

#include <array>

namespace {

HistoryStats stats(int tests, int lost, double loss, std::optional<qint64> min, std::optional<qint64> avg,
                   std::optional<qint64> max, std::optional<qint64> jitter)
{
    return HistoryStats{tests, lost, loss, min, avg, max, jitter};
}

TEST(StatisticsText, ColumnsAndToolTipFromATable)
{
    struct Case {
        const char *name;
        HistoryStats stats;
        std::array<const char *, StatisticsColumnCount> cells; // loss, average, minimum, maximum, jitter
        const char *toolTip;
    };
    const Case cases[] = {
        {"no sample yet", stats(0, 0, 0, {}, {}, {}, {}), {"", "", "", "", ""}, ""},
        {"everything lost", stats(4, 4, 100, {}, {}, {}, {}), {"100", "", "", "", ""}, "4 tests, 4 lost (100 %)"},
        {"a LAN: two decimals below 10 ms",
         stats(3, 0, 0, 310, 420, 1205, 50),
         {"0", "0.42 ms", "0.31 ms", "1.21 ms", "0.05 ms"},
         "3 tests, 0 lost (0 %)\nRound trip: minimum 0.31 ms, average 0.42 ms, maximum 1.21 ms\nJitter: 0.05 ms"},
        {"one reply has no jitter",
         stats(3, 2, 200.0 / 3, 1250, 1250, 1250, {}),
         {"66.7", "1.25 ms", "1.25 ms", "1.25 ms", ""},
         "3 tests, 2 lost (66.7 %)\nRound trip: minimum 1.25 ms, average 1.25 ms, maximum 1.25 ms"},
        {"a WAN: one decimal from 10 ms",
         stats(8, 1, 12.5, 9994, 25049, 312000, 10000),
         {"12.5", "25.0 ms", "9.99 ms", "312.0 ms", "10.0 ms"},
         "8 tests, 1 lost (12.5 %)\nRound trip: minimum 9.99 ms, average 25.0 ms, maximum 312.0 ms\nJitter: 10.0 ms"},
        {"a thousandth lost, and round trips at the edge of ten",
         stats(1000, 1, 0.1 - 1e-9, 0, 9996, 9994, 10000),
         {"0.1", "10.0 ms", "0.00 ms", "9.99 ms", "10.0 ms"},
         nullptr},
        {"a loss that rounds to a whole percent",
         stats(10000, 9996, 99.96, {}, {}, {}, {}),
         {"100", "", "", "", ""},
         "10000 tests, 9996 lost (100 %)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (int column = 0; column < StatisticsColumnCount; ++column)
            EXPECT_EQ(statisticsCell(c.stats, column), QString::fromUtf8(c.cells[std::size_t(column)]))
                << statisticsTitles()[column].toStdString();
        if (c.toolTip) {
            EXPECT_EQ(statisticsToolTip(c.stats), QString::fromUtf8(c.toolTip));
        }
    }
    EXPECT_EQ(statisticsTitles().size(), StatisticsColumnCount);
}

TEST(StatisticsText, ARowWithoutHistoryShowsNothing)
{
    ResourceRow row = ResourceRow::created("PC1", "10.0.0.1", "LAB");
    const ResourceList::ExtraColumns columns = statisticsColumns();
    for (int column = 0; column < StatisticsColumnCount; ++column)
        EXPECT_TRUE(columns.text(row, column).isEmpty());
    EXPECT_TRUE(rowStatisticsToolTip(row).isEmpty());
}

} // namespace

#include "resources/ResourceList.h"
#include "support/LocaleFixtures.h"

#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace {

ResourceList &usList(ResourceList &list)
{
    list.setLocaleFormats(us());
    return list;
}

QStringList column(const ResourceList &list, int subItem)
{
    QStringList out;
    for (const ResourceRow &r : list.rows())
        out << r.subItem(subItem);
    return out;
}

// Where each row, in the current order, was in the load order.
std::vector<int> loadPositions(const ResourceList &list)
{
    std::uint64_t first = UINT64_MAX;
    for (const ResourceRow &r : list.rows())
        first = std::min(first, r.id);
    std::vector<int> out;
    for (const ResourceRow &r : list.rows())
        out.push_back(int(r.id - first));
    return out;
}

void addHosts(ResourceList &list)
{
    list.append(ResourceRow::created("delta", "10.0.0.4", "OFFICE"));
    list.append(ResourceRow::created("alpha", "10.0.0.10", "LAB"));
    list.append(ResourceRow::created("charlie", "10.0.0.9", "ADMIN"));
}

} // namespace

TEST(ResourceList, HeaderClicksSortAscendingThenDescendingThenAnotherColumnAscending)
{
    ResourceList list;
    usList(list);
    addHosts(list);
    list.columnClicked(ResourceList::colResource);
    EXPECT_EQ(column(list, siResource), QStringList({"alpha", "charlie", "delta"}));
    list.columnClicked(ResourceList::colResource);
    EXPECT_EQ(column(list, siResource), QStringList({"delta", "charlie", "alpha"}));
    EXPECT_TRUE(list.sortDescending());
    list.columnClicked(ResourceList::colWorkgroup);
    EXPECT_EQ(column(list, siWorkgroup), QStringList({"ADMIN", "LAB", "OFFICE"}));
    EXPECT_FALSE(list.sortDescending());
    list.columnClicked(ResourceList::colAddress);
    EXPECT_EQ(column(list, siAddress), QStringList({"10.0.0.10", "10.0.0.4", "10.0.0.9"}));
}

TEST(ResourceList, EqualRowsKeepTheirOrderAndStatusSortChangesNothing)
{
    ResourceList list;
    usList(list);
    addHosts(list);
    list.columnClicked(ResourceList::colStatus);
    EXPECT_EQ(column(list, siResource), QStringList({"delta", "alpha", "charlie"}));
    list.columnClicked(ResourceList::colStatus);
    EXPECT_EQ(column(list, siResource), QStringList({"delta", "alpha", "charlie"}));
}

TEST(ResourceList, SortingAColumnTheSameWayAlwaysGivesTheSameOrder)
{
    // Columns that mix dates, numbers and text: there the comparison is not
    // transitive (9 < 10 as numbers, 10 < 1a and 1a < 9 as text), so an order
    // that depended on the order before the click would wander.
    struct Case {
        const char *what;
        int column;
        QStringList cells;
    };
    const Case cases[] = {
        {"names with numbers",
         ResourceList::colResource,
         {"9", "10", "1a", "100", "2b", "20", "x1", "3", "1e1", "+5", "a", "10a", "9 b", "09"}},
        {"addresses and numbers",
         ResourceList::colAddress,
         {"10.0.0.1", "9", "10", "10.0.0.1,10.0.0.2", "1a", "", "100", "2", "10.0.0.10", "1.5", "b"}},
        {"messages",
         ResourceList::colMessage,
         {"Received 9 bytes", "12 ms", "9 ms", "Unknown host", "<not tested>", "100 ms", "1a", "2 ms", "10", "1 x",
          "Cannot ping host : 11"}},
        {"dates, numbers and text",
         ResourceList::colLastTest,
         {"1/2/2026 9:00:00 AM", "5", "12/31/2025", "", "10", "x", "1/1/2026", "40000", "1a", "2/1/2026 1:00:00 PM",
          "3"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int other =
            c.column == ResourceList::colWorkgroup ? ResourceList::colResource : ResourceList::colWorkgroup;
        const int n = int(c.cells.size());
        std::vector<ResourceRow> rows;
        for (int i = 0; i < n; ++i) {
            // The other columns order the rows differently from the load order.
            ResourceRow r =
                ResourceRow::created(QStringLiteral("host%1").arg((i * 5 + 3) % n, 2, 10, QLatin1Char('0')), "",
                                     QStringLiteral("group%1").arg((i * 7 + 2) % n, 2, 10, QLatin1Char('0')));
            r.subItems[c.column - 1] = c.cells[i];
            rows.push_back(r);
        }

        ResourceList list;
        usList(list).setRows(rows);
        list.columnClicked(c.column);
        const std::vector<int> ascending = loadPositions(list);
        list.columnClicked(c.column);
        const std::vector<int> descending = loadPositions(list);
        list.columnClicked(c.column);
        EXPECT_EQ(loadPositions(list), ascending) << "asc, desc, asc";
        list.columnClicked(c.column);
        EXPECT_EQ(loadPositions(list), descending) << "asc, desc, asc, desc";
        list.columnClicked(other);
        list.columnClicked(c.column);
        EXPECT_EQ(loadPositions(list), ascending) << "another column, then back";

        // The same rows, loaded alike but put in another order by other sorts first.
        ResourceList shuffled;
        usList(shuffled).setRows(rows);
        shuffled.columnClicked(other);
        shuffled.columnClicked(other);
        std::vector<int> identity(std::size_t(n), 0);
        std::iota(identity.begin(), identity.end(), 0);
        ASSERT_NE(loadPositions(shuffled), identity);
        shuffled.columnClicked(c.column);
        EXPECT_EQ(loadPositions(shuffled), ascending) << "from another current order";
        shuffled.columnClicked(c.column);
        EXPECT_EQ(loadPositions(shuffled), descending) << "from another current order, desc";
    }
}

TEST(ResourceList, EqualRowsComeInLoadOrderWhateverTheOrderBefore)
{
    ResourceList list;
    usList(list);
    list.append(ResourceRow::created("b", "", "LAB"));
    list.append(ResourceRow::created("c", "", "OFFICE"));
    list.append(ResourceRow::created("a", "", "LAB"));
    list.append(ResourceRow::created("d", "", "OFFICE"));
    list.columnClicked(ResourceList::colResource);
    list.columnClicked(ResourceList::colResource); // d c b a
    list.columnClicked(ResourceList::colWorkgroup);
    EXPECT_EQ(column(list, siResource), QStringList({"b", "a", "c", "d"}));
    list.columnClicked(ResourceList::colWorkgroup);
    EXPECT_EQ(column(list, siResource), QStringList({"c", "d", "b", "a"}));
    list.columnClicked(ResourceList::colResource);
    list.columnClicked(ResourceList::colStatus); // every row equal
    EXPECT_EQ(column(list, siResource), QStringList({"b", "c", "a", "d"}));
}

TEST(ResourceList, LastTestSortsUntestedFirstThenByTime)
{
    ResourceList list;
    usList(list);
    list.append(ResourceRow::created("late", "", ""));
    list.setSubItem(0, siLastTest, "1/2/2026 9:00:00 AM");
    list.append(ResourceRow::created("never", "", ""));
    list.append(ResourceRow::created("early", "", ""));
    list.setSubItem(2, siLastTest, "12/31/2025 11:59:59 PM");
    list.columnClicked(ResourceList::colLastTest);
    EXPECT_EQ(column(list, siResource), QStringList({"never", "early", "late"}));
}

TEST(ResourceList, AddedRowsAreAppendedUnsortedAndSortTintFollowsTheColumn)
{
    ResourceList list;
    usList(list);
    addHosts(list);
    const QModelIndex name = list.index(0, ResourceList::colResource);
    // Unsorted cells leave the background to the view: its palette's Base.
    EXPECT_FALSE(list.data(name, Qt::BackgroundRole).isValid());
    list.setSortTint(QColor(1, 2, 3));
    list.columnClicked(ResourceList::colResource);
    list.append(ResourceRow::created("aardvark", "", ""));
    EXPECT_EQ(column(list, siResource).last(), "aardvark");
    EXPECT_EQ(list.data(list.index(3, ResourceList::colResource), Qt::BackgroundRole).value<QColor>(), QColor(1, 2, 3));
    EXPECT_FALSE(list.data(list.index(3, ResourceList::colStatus), Qt::BackgroundRole).isValid());
}

TEST(ResourceList, RowIdsSurviveSortingAndRemoval)
{
    ResourceList list;
    usList(list);
    addHosts(list);
    const std::uint64_t charlie = list.row(2).id;
    list.columnClicked(ResourceList::colResource);
    EXPECT_EQ(list.rowOfId(charlie), 1);
    list.removeAt(0);
    EXPECT_EQ(list.rowOfId(charlie, 1), 0);
    list.removeAt(0);
    EXPECT_EQ(list.rowOfId(charlie), -1);
    list.clear();
    list.append(ResourceRow::created("new", "", ""));
    EXPECT_NE(list.row(0).id, charlie); // ids are never reused
}

TEST(ResourceList, TickCommandsActOnTickBoxes)
{
    ResourceList list;
    list.checkAll(); // empty list: nothing happens
    list.invertChecks();
    addHosts(list);
    EXPECT_TRUE(list.row(0).checked); // new rows are ticked
    list.setChecked(1, false);
    list.invertChecks();
    EXPECT_FALSE(list.row(0).checked);
    EXPECT_TRUE(list.row(1).checked);
    list.uncheckAll();
    EXPECT_FALSE(list.row(1).checked);
    list.checkAll();
    EXPECT_TRUE(list.row(2).checked);
    EXPECT_TRUE(list.setData(list.index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(list.data(list.index(2, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST(ResourceList, IndexOfResourceFoldsAsciiCaseOnly)
{
    ResourceList list;
    EXPECT_EQ(list.indexOfResource("PC1"), -1);
    list.append(ResourceRow::created("PC1", "", ""));
    list.append(ResourceRow::created(QString::fromUtf8("ÉCOLE"), "", ""));
    list.append(ResourceRow::created("pc1", "", ""));
    EXPECT_EQ(list.indexOfResource("pc1"), 0);
    EXPECT_EQ(list.indexOfResource(QString::fromUtf8("École")), 1); // only the ASCII letters differ
    EXPECT_EQ(list.indexOfResource(QString::fromUtf8("éCOLE")), -1);
    EXPECT_EQ(list.indexOfResource(QString::fromUtf8("ÉCOLE")), 1);
    EXPECT_EQ(list.indexOfResource("PC"), -1);
}

TEST(ResourceList, OutOfRangeImagesAndShortRowsShowNothingButWork)
{
    ResourceList list;
    list.setStatusImages({QIcon(), QIcon()});
    ResourceRow r;
    r.imageIndex = 1000000;
    r.subItems = {"only"};
    list.setRows({r});
    r.imageIndex = -7;
    list.append(r);
    EXPECT_FALSE(list.data(list.index(0, 0), Qt::DecorationRole).isValid());
    EXPECT_FALSE(list.data(list.index(1, 0), Qt::DecorationRole).isValid());
    EXPECT_EQ(list.data(list.index(0, ResourceList::colLastTest), Qt::DisplayRole).toString(), QString());
    list.setSubItem(0, siMessage, "Unknown host");
    EXPECT_EQ(list.row(0).subItems.size(), 4);
    EXPECT_EQ(list.row(0).subItem(siMessage), "Unknown host");
}

TEST(ResourceList, SortsAHundredThousandRowsQuickly)
{
    ResourceList list;
    usList(list);
    std::vector<ResourceRow> rows;
    for (int i = 0; i < 100000; ++i) {
        ResourceRow r = ResourceRow::created(QStringLiteral("host%1").arg((i * 7919) % 100000), "", "");
        r.subItems[siLastTest] =
            QStringLiteral("%1/%2/2025 %3:%4:00 PM").arg(1 + i % 12).arg(1 + i % 28).arg(1 + i % 12).arg(i % 60);
        rows.push_back(r);
    }
    list.setRows(std::move(rows));
    QElapsedTimer t;
    t.start();
    list.columnClicked(ResourceList::colLastTest);
    list.columnClicked(ResourceList::colResource);
    // Generous bound: sanitizer builds are several times slower than release.
    EXPECT_LT(t.elapsed(), 15000);
    // Finding each row by id after the sort (as a sweep does) is quick too.
    std::vector<std::uint64_t> ids;
    for (const ResourceRow &r : list.rows())
        ids.push_back(r.id);
    list.removeAt(0);
    t.restart();
    for (std::size_t k = 1; k < ids.size(); ++k)
        ASSERT_EQ(list.rowOfId(ids[k], 0), int(k) - 1);
    EXPECT_EQ(list.rowOfId(ids[0]), -1);
    EXPECT_LT(t.elapsed(), 5000);
    const QCollator collator = makeListCollator(QLocale(QLocale::English, QLocale::UnitedStates));
    for (int i = 1; i < list.count(); ++i)
        ASSERT_LE(collator.compare(list.row(i - 1).subItem(0), list.row(i).subItem(0)), 0) << i;
}

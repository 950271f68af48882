#include "discovery/NetworkNeighborhood.h"

#include <gtest/gtest.h>

namespace {

QStringList names(const TStrings &list)
{
    QStringList out;
    for (int i = 0; i < list.GetCount(); ++i)
        out << list.Get(i);
    return out;
}

// Workgroups in an order of their own, with duplicates and empty names:
// the facade shows the snapshot as it is, it does not merge.
const NetworkSnapshot office = {
    {"ALPHA", {{"S1", "10.0.0.1"}, {"s1", ""}, {"", ""}}},
    {"EMPTY", {}},
    {"BETA", {{"S3", ""}, {"S1", ""}}},
};

} // namespace

TEST(NetworkNeighborhoodTest, ItemTextIsTheNameUpToAZeroWithoutBlanksAtItsEndsAndCleaned)
{
    const struct {
        QString displayName, shown;
    } cases[] = {
        {" ALPHA ", "ALPHA"},
        {"  ", ""},
        {"\tTAB ", "?TAB"}, // a tab is no blank, and like any control it is replaced
        {QStringLiteral("NUL") + QChar(0) + QStringLiteral("tail"), "NUL"},
        {QStringLiteral(" ") + QChar(0) + QStringLiteral("X"), ""},
        {QChar(0x00A0) + QStringLiteral("NBSP "), QChar(0x00A0) + QStringLiteral("NBSP")},
        {"A,B\r\n", "A?B??"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(itemDisplayText(NetworkItem{c.displayName, "key"}), c.shown) << c.displayName.toStdString();
}

TEST(NetworkNeighborhoodTest, ListsTheSnapshotsWorkgroupsInOrderEachWithItsComputers)
{
    const TNetworkNeighborhood n(office);
    EXPECT_EQ(names(n), QStringList({"ALPHA", "EMPTY", "BETA"}));
    // Duplicates and empty names stay; a machine in two workgroups is in both.
    EXPECT_EQ(names(n.Workgroup(0)), QStringList({"S1", "s1", ""}));
    EXPECT_EQ(names(n.Workgroup(1)), QStringList());
    EXPECT_EQ(names(n.Workgroup(2)), QStringList({"S3", "S1"}));
    // The typed view and the list's own objects are one.
    for (int i = 0; i < n.GetCount(); ++i)
        EXPECT_EQ(n.GetObject(i), &n.Workgroup(i)) << i;
    EXPECT_EQ(n.IndexOf("beta"), 2);
}

TEST(NetworkNeighborhoodTest, AnEntryKeepsItsComputersWhereverItMovesAndOnlyItsOwn)
{
    TNetworkNeighborhood n(office);
    n.Exchange(0, 2);
    EXPECT_EQ(n.Get(0), "BETA");
    EXPECT_EQ(names(n.Workgroup(0)), QStringList({"S3", "S1"}));
    EXPECT_EQ(names(n.Workgroup(2)), QStringList({"S1", "s1", ""}));

    const auto failure = [&](int index) -> QString {
        try {
            n.Workgroup(index);
        } catch (const Exception &e) {
            return e.message();
        }
        return {};
    };
    EXPECT_EQ(failure(3), "Array TStringObjectArray item index is out of bounds (3)");
    EXPECT_EQ(failure(-1), "Array TStringObjectArray item index is out of bounds (-1)");
    // An entry made behind the list's back has no workgroup to read.
    n.Entries().Grow(1);
    EXPECT_EQ(failure(3), "Entry 3 holds no workgroup of this network");
    TNetworkWorkgroup stranger;
    n.Entries().setObject(0, &stranger);
    EXPECT_EQ(failure(0), "Entry 0 holds no workgroup of this network");
}

TEST(NetworkNeighborhoodTest, AnEmptyNetworkIsNoFailureAndEntriesChangeOnlyByTheSnapshot)
{
    EXPECT_EQ(TNetworkNeighborhood(NetworkSnapshot()).GetCount(), 0);

    TNetworkNeighborhood n(office);
    n.Delete(0);
    n.Insert(0, QStringLiteral("X"));
    TNetworkWorkgroup stranger;
    n.PutObject(1, &stranger);
    EXPECT_EQ(n.GetCount(), 3);
    EXPECT_EQ(n.Get(0), "ALPHA");
    EXPECT_EQ(n.GetObject(1), &n.Workgroup(1));
    // Adding gives the entry a list of its own; clearing frees them all
    // (the sanitizer's leak check sees any left).
    const int added = n.Add(QStringLiteral("NEW"));
    EXPECT_NE(dynamic_cast<TNetworkWorkgroup *>(n.GetObject(added)), nullptr);
    EXPECT_EQ(n.Workgroup(added).GetCount(), 0);
    EXPECT_NE(n.GetObject(added), n.GetObject(0));
    n.Clear();
    EXPECT_EQ(n.GetCount(), 0);
}

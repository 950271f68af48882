#include "discovery/NetworkNeighborhood.h"
#include "support/FakeNeighborhood.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

using FakeSource = FakeNeighborhood;

NetworkItem item(const QString &name, const QString &key) { return NetworkItem{name, key}; }

QStringList computers(const TNetworkNeighborhood &n, int workgroup)
{
    const auto *list = dynamic_cast<TStringObjectList *>(n.GetObject(workgroup));
    QStringList out;
    for (int i = 0; list && i < list->GetCount(); ++i)
        out << list->Get(i);
    return out;
}

FakeSource office()
{
    FakeSource s;
    s.folders[""] = {item(" ALPHA ", "wa"), item("EMPTY", "we"), item("BETA", "wb")};
    s.folders["wa"] = {item("S1", "1"), item("s1", "2"), item("  ", "3"), item("\tTAB ", "4"), item("NUL\0tail", "5")};
    s.folders["we"] = {};
    s.folders["wb"] = {item("S3", "6"), item("S1", "1")};
    return s;
}

} // namespace

TEST(NetworkNeighborhoodTest, CopiesTheFoldersInOrderTrimmingBlanksOnlyAndCleaningControls)
{
    FakeSource source = office();
    source.folders["wa"][4].displayName = QStringLiteral("NUL") + QChar(0) + QStringLiteral("tail");
    const TNetworkNeighborhood n(source, QStringLiteral("HERE"));
    ASSERT_EQ(n.GetCount(), 3);
    EXPECT_EQ(n.Get(0), "ALPHA");
    EXPECT_EQ(n.Get(1), "EMPTY");
    EXPECT_EQ(n.Get(2), "BETA");
    // Duplicates and empty names stay; a machine in two workgroups is in
    // both; a tab is no blank, and like any control it is replaced.
    EXPECT_EQ(computers(n, 0), QStringList({"S1", "s1", "", "?TAB", "NUL"}));
    EXPECT_EQ(computers(n, 1), QStringList());
    EXPECT_EQ(computers(n, 2), QStringList({"S3", "S1"}));
    EXPECT_EQ(source.opened, QStringList({"wa", "we", "wb"}));
}

TEST(NetworkNeighborhoodTest, AnyFailureFailsTheWholeWalk)
{
    struct Case {
        const char *what;
        std::function<void(FakeSource &)> breakIt;
    };
    const Case cases[] = {
        {"no root", [](FakeSource &s) { s.noRoot = true; }},
        {"a null root", [](FakeSource &s) { s.nullRoot = true; }},
        {"the last workgroup cannot be opened", [](FakeSource &s) { s.brokenKey = "wb"; }},
        {"a workgroup opens as nothing", [](FakeSource &s) { s.nullKey = "we"; }},
        {"a workgroup unknown to the source", [](FakeSource &s) { s.folders.remove("wa"); }},
    };
    for (const Case &c : cases) {
        FakeSource source = office();
        c.breakIt(source);
        try {
            TNetworkNeighborhood n(source, QStringLiteral("HERE"));
            ADD_FAILURE() << c.what << ": no failure";
        } catch (const ECannotFindNetwork &e) {
            EXPECT_EQ(e.message(), "Cannot find network neiborhood") << c.what;
        }
    }
}

TEST(NetworkNeighborhoodTest, AnEmptyNetworkIsNoFailureAndEntriesChangeOnlyByTheWalk)
{
    FakeSource none;
    EXPECT_EQ(TNetworkNeighborhood(none, QString()).GetCount(), 0);

    FakeSource source = office();
    TNetworkNeighborhood n(source, QString());
    n.Delete(0);
    n.Insert(0, QStringLiteral("X"));
    EXPECT_EQ(n.GetCount(), 3);
    EXPECT_EQ(n.Get(0), "ALPHA");
    // Adding gives the entry a list of its own; clearing frees them all
    // (the sanitizer's leak check sees any left).
    const int added = n.Add(QStringLiteral("NEW"));
    EXPECT_NE(dynamic_cast<TNetworkWorkgroup *>(n.GetObject(added)), nullptr);
    EXPECT_NE(n.GetObject(added), n.GetObject(0));
    n.Clear();
    EXPECT_EQ(n.GetCount(), 0);
}

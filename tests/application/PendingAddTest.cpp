#include "application/PendingAdd.h"
#include "application/PingSweep.h"
#include "ping/Ping.h"
#include "ping/WSocket.h"
#include "resources/ResourceList.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

// The add's collaborators as the window wires them, with a resolver whose
// lookups wait until the test completes them.
class Adding : public ::testing::Test {
protected:
    FakeResolver resolver;
    ResourceList list;
    TWSocket socket{resolver};
    PendingAdd add{list, socket, resolver};

    void SetUp() override
    {
        resolver.manual = true;
        resolver.table["alpha"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1")}};
        resolver.table["multi"] = LookupResult{RESOLVE_OK, {ip("10.0.0.3"), ip("10.0.0.4")}};
        socket.OnDnsLookupDone = [this](TWSocket *s, std::uint16_t e) { add.lookupDone(e, s->DnsResultList()); };
    }
    QStringList row(int i) const { return list.row(i).subItems; }
    void completeAll()
    {
        const QList<int> ids = resolver.pending.keys();
        for (int id : ids)
            resolver.complete(id);
    }
};

} // namespace

TEST(JoinStrings, PutsTheSeparatorOnlyBetweenNeighbours)
{
    const struct {
        QStringList list;
        QString separator;
        QString joined;
    } cases[] = {
        {{}, ",", ""},
        {{"10.0.0.1"}, ",", "10.0.0.1"},
        {{"10.0.0.3", "10.0.0.4", "10.0.0.5"}, ",", "10.0.0.3,10.0.0.4,10.0.0.5"},
        {{"", ""}, ",", ","},
        {{"a", "b"}, " - ", "a - b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(JoinStrings(c.list, c.separator), c.joined) << c.list.join('|').toStdString();
}

TEST(AddOkRule, ANameAlwaysAndAnAddressOnlyWithTheLookup)
{
    const struct {
        const char *workstation, *address;
        bool lookUp;
        bool enabled;
    } cases[] = {
        {"", "", true, false},        {"", "", false, false},
        {"pc1", "", true, true},      {"pc1", "", false, true},
        {"", "10.0.0.1", true, true}, {"", "10.0.0.1", false, false}, // an address alone needs the lookup box
        {" ", "", false, true},                                       // blanks are text
        {"", " ", true, true},        {"pc1", "10.0.0.1", false, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AddOkEnabled(c.workstation, c.address, c.lookUp), c.enabled)
            << "'" << c.workstation << "' '" << c.address << "' lookup " << c.lookUp;
}

TEST_F(Adding, ASecondAddReplacesTheWaitingOneWhole)
{
    add.start(AddEntry{"alpha", "", "FIRST", true});
    add.start(AddEntry{"multi", "", "SECOND", true});
    EXPECT_EQ(resolver.abortedLookups.size(), 1); // the first lookup is given up
    completeAll();
    for (int id : resolver.abortedLookups.keys())
        resolver.deliverLate(id); // and its answer, should it come late, is dropped
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(row(0), QStringList({"multi", "10.0.0.3,10.0.0.4", "SECOND", "<not tested>", ""}));
    EXPECT_FALSE(add.pending());
}

TEST_F(Adding, AnAddWithoutLookupLeavesTheWaitingOneItsOwnTexts)
{
    add.start(AddEntry{"alpha", "", "FIRST", true});
    add.start(AddEntry{"quick", "", "SECOND", false});
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(row(0), QStringList({"quick", "", "SECOND", "<not tested>", ""}));
    EXPECT_TRUE(add.pending());
    completeAll();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(row(1), QStringList({"alpha", "10.0.0.1", "FIRST", "<not tested>", ""}));
}

TEST_F(Adding, ASweepWhileTheLookupWaitsDoesNotReachTheAdd)
{
    FakeEchoFactory echo;
    TPing ping(echo, resolver);
    PingSweep sweep(list, ping);
    list.append(ResourceRow::created("swept", "10.0.0.5", "LAB"));
    echo.channel->outcomes[ip("10.0.0.5")] = FakeEchoChannel::reply(ip("10.0.0.5"), 56, 1);

    add.start(AddEntry{"alpha", "", "FIRST", true});
    ASSERT_TRUE(runSweep(sweep)); // the dotted address needs no lookup
    EXPECT_EQ(list.row(0).subItem(siMessage), "Received 56 bytes in 1 ms");
    completeAll();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(row(1), QStringList({"alpha", "10.0.0.1", "FIRST", "<not tested>", ""}));
}

TEST_F(Adding, FailedCancelledAndRefusedLookupsAddNothing)
{
    add.start(AddEntry{"no-such-host", "", "LAB", true});
    completeAll();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(add.pending());

    add.start(AddEntry{"alpha", "", "LAB", true});
    socket.CancelDnsLookup(); // reported with 10004
    completeAll();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(add.pending());

    add.start(AddEntry{"alpha", "", "LAB", true});
    resolver.refuseStart = true;
    try {
        add.start(AddEntry{"multi", "", "LAB", true});
        ADD_FAILURE() << "a lookup that cannot start raises";
    } catch (const ESocketException &e) {
        EXPECT_EQ(e.message(), "multi: can't start DNS lookup, error #11002");
    }
    EXPECT_FALSE(add.pending());
    completeAll(); // the replaced first lookup was given up before the refusal
    EXPECT_EQ(list.count(), 0);
}

TEST_F(Adding, ANameFromAReverseLookupIsCleanedWhatTheUserTypedIsNot)
{
    resolver.names[ip("10.0.0.7")] = "evil,host\n0,,X";
    add.start(AddEntry{"typed", "10.0.0.7", "WG", false});
    add.start(AddEntry{"typed, with a comma", "", "W,G", false});
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(row(0), QStringList({"evil?host?0??X", "", "WG", "<not tested>", ""}));
    EXPECT_EQ(row(1), QStringList({"typed, with a comma", "", "W,G", "<not tested>", ""}));
}

#include "ping/Icmp.h"
#include "ping/Ping.h"
#include "ping/WSocket.h"
#include "support/FakePing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <gtest/gtest.h>
#include <thread>

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }

} // namespace

TEST(IcmpErrorText, CoversTheTableAndUnknownCodes)
{
    EXPECT_EQ(IcmpErrorText(0), "No error");
    EXPECT_EQ(IcmpErrorText(11010), "Request timed out");
    EXPECT_EQ(IcmpErrorText(11013), "TTL expired in transit");
    EXPECT_EQ(IcmpErrorText(11018), "Bad Destination");
    EXPECT_EQ(IcmpErrorText(11255), "Pending");
    EXPECT_EQ(IcmpErrorText(12345), "ICMP error #12345");
    EXPECT_EQ(IcmpErrorText(0xFFFFFFFFu), "ICMP error #4294967295");
}

TEST(IcmpPayload, IsThePhraseCutOrPaddedNeverRepeated)
{
    EXPECT_EQ(QString::fromLatin1(TICMP::kPayload).size(), 45);
    EXPECT_TRUE(TICMP::requestData(0).isEmpty());
    EXPECT_EQ(TICMP::requestData(10), "Echo paylo");
    EXPECT_EQ(TICMP::requestData(45), TICMP::kPayload);
    EXPECT_EQ(TICMP::requestData(56), QByteArray(TICMP::kPayload) + QByteArray(11, ' '));
    EXPECT_EQ(TICMP::requestData(100).count("Echo"), 1);
}

class Icmp : public ::testing::Test {
protected:
    FakeResolver resolver;
    FakeEchoFactory factory;
    TICMP icmp{factory, resolver};
    QStringList display;
    QStringList events;

    void SetUp() override
    {
        icmp.OnDisplay = [this](TICMP *, const QString &m) { display << m; };
        icmp.OnEchoRequest = [this](TICMP *i) { events << "request:" + i->ErrorText(); };
        icmp.OnEchoReply = [this](TICMP *i, int replies) {
            events << QStringLiteral("reply:%1:%2").arg(replies).arg(i->ErrorText());
        };
    }
};

TEST_F(Icmp, SendsTheSettingsAndReportsAReply)
{
    factory.channel->outcomes[ip("10.0.0.5")] = FakeEchoChannel::reply(ip("10.0.0.5"), 56, 3);
    icmp.setAddress("10.0.0.5");
    icmp.setTTL(300);
    icmp.setFlags(0x102);
    icmp.setTimeout(750);
    EXPECT_EQ(icmp.Ping(), 1);
    const EchoRequest &sent = factory.channel->requests.at(0);
    EXPECT_EQ(sent.ttl, 44); // only the low byte goes out
    EXPECT_EQ(sent.flags, 2);
    EXPECT_EQ(sent.timeoutMs, 750u);
    EXPECT_EQ(sent.data.size(), 56);
    EXPECT_EQ(icmp.LastError(), 0u);
    EXPECT_EQ(icmp.LastReply().DataSize, 56);
    EXPECT_EQ(icmp.LastReply().RoundTripTime, 3u);
    EXPECT_EQ(events, QStringList({"request:No error", "reply:1:No error"}));
}

TEST_F(Icmp, StartsWithTheDefaultSettingsAndSendsThem)
{
    EXPECT_EQ(icmp.Size(), 56);
    EXPECT_EQ(icmp.Timeout(), 4000u);
    EXPECT_EQ(icmp.TTL(), 64);
    EXPECT_EQ(icmp.Flags(), 0);
    EXPECT_EQ(icmp.LastError(), 0u);
    icmp.setAddress("10.0.0.5");
    icmp.Ping();
    const EchoRequest &sent = factory.channel->requests.at(0);
    EXPECT_EQ(sent.data.size(), 56);
    EXPECT_EQ(sent.timeoutMs, 4000u);
    EXPECT_EQ(sent.ttl, 64);
    EXPECT_EQ(sent.flags, 0);
    icmp.setSize(8);
    EXPECT_EQ(icmp.Size(), 8);
    icmp.Ping();
    EXPECT_EQ(factory.channel->requests.at(1).data, "Echo pay");
}

TEST_F(Icmp, AFailedSendCarriesItsStatus)
{
    factory.channel->outcomes[ip("10.0.0.6")] = FakeEchoChannel::failure(IP_TTL_EXPIRED_TRANSIT);
    icmp.setAddress("10.0.0.6");
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.ErrorText(), "TTL expired in transit");
    icmp.setAddress("10.0.0.7");
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.ErrorText(), "Request timed out");
    EXPECT_EQ(events.last(), "reply:0:Request timed out");
}

TEST_F(Icmp, BroadcastAddressIsRefusedWithoutSending)
{
    icmp.setAddress("255.255.255.255");
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.LastError(), 11018u);
    EXPECT_EQ(icmp.ErrorText(), "Bad Destination");
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(factory.channel->requests.empty());
    EXPECT_EQ(display, QStringList({"Invalid host address"}));
}

TEST_F(Icmp, UnresolvableNameReportsTwiceAndEndsAsBadDestination)
{
    icmp.setAddress("nowhere");
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(display, QStringList({"Unable to resolve nowhere", "Invalid host address"}));
    EXPECT_EQ(icmp.LastError(), 11018u);
    EXPECT_FALSE(icmp.resolved());
    icmp.Ping(); // a failed resolution is tried again
    EXPECT_EQ(resolver.resolvedBlocking, QStringList({"nowhere", "nowhere"}));
}

TEST_F(Icmp, SameAddressResolvesOnceADifferentOneAgain)
{
    resolver.table["alpha"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1"), ip("10.0.0.2")}};
    resolver.table["beta"] = LookupResult{RESOLVE_OK, {ip("10.0.0.3")}};
    icmp.setAddress("alpha");
    icmp.Ping();
    icmp.setAddress("alpha");
    icmp.Ping();
    EXPECT_EQ(resolver.resolvedBlocking, QStringList({"alpha"}));
    EXPECT_EQ(factory.channel->requests.at(1).target, ip("10.0.0.1"));
    icmp.setAddress("beta");
    icmp.Ping();
    EXPECT_EQ(resolver.resolvedBlocking, QStringList({"alpha", "beta"}));
    EXPECT_EQ(factory.channel->requests.at(2).target, ip("10.0.0.3"));
}

TEST(IcmpConstruction, FailsWithTheServiceMessageAndThePingComponentCarriesOn)
{
    FakeResolver resolver;
    FakeEchoFactory factory;
    factory.failWith = EchoFailure::NotPermitted;
    try {
        TICMP icmp(factory, resolver);
        FAIL() << "construction should fail";
    } catch (const TICMPException &e) {
        EXPECT_EQ(e.failure(), EchoFailure::NotPermitted);
        EXPECT_EQ(e.message(), "Unable to register icmp.dll");
        EXPECT_TRUE(e.detail().contains("Operation not permitted"));
    }
    TPing ping(factory, resolver);
    EXPECT_FALSE(ping.available());
    EXPECT_EQ(ping.unavailableKind(), EchoFailure::NotPermitted);
    EXPECT_EQ(ping.unavailableMessage(), "Unable to register icmp.dll");
    EXPECT_EQ(ping.Ping(), 0);
    // The settings are kept all the same, so that they are stored unchanged.
    EXPECT_EQ(ping.Size(), 56);
    ping.setSize(1000);
    ping.setTimeout(2000);
    ping.setTTL(32);
    EXPECT_EQ(ping.Size(), 1000);
    EXPECT_EQ(ping.Timeout(), 2000u);
    EXPECT_EQ(ping.TTL(), 32);
    EXPECT_TRUE(ping.ErrorText().isEmpty());
    ping.setAddress("10.0.0.1");
    EXPECT_TRUE(ping.Address().isEmpty());
}

TEST(IcmpConstruction, EachFailureKeepsItsKindAndItsMessageUpToThePingComponent)
{
    struct Case {
        EchoFailure failure;
        const char *message;
    };
    const Case cases[] = {
        {EchoFailure::SocketsUnavailable, "Error initialising Winsock"},
        {EchoFailure::NoHandle, "Unable to get ping handle"},
        {EchoFailure::NotPermitted, "Unable to register icmp.dll"},
        {EchoFailure::SetupFailed, "Error loading dll functions"},
    };
    FakeResolver resolver;
    for (const Case &c : cases) {
        const EchoChannelError error(c.failure, QStringLiteral("what the system said"));
        EXPECT_STREQ(error.what(), c.message);
        FakeEchoFactory factory;
        factory.failWith = c.failure;
        const TPing ping(factory, resolver);
        EXPECT_EQ(ping.unavailableKind(), c.failure) << c.message;
        EXPECT_EQ(ping.unavailableMessage(), c.message);
        EXPECT_FALSE(ping.unavailableDetail().isEmpty()) << c.message;
    }
    FakeEchoFactory working;
    const TPing ping(working, resolver);
    EXPECT_TRUE(ping.available());
    EXPECT_EQ(ping.unavailableKind(), std::nullopt);
    EXPECT_TRUE(ping.unavailableMessage().isEmpty());
}

TEST(EchoUnavailableText, ExplainsTheCauseAndOnlyOffersACureThatApplies)
{
    FakeResolver resolver;
    FakeEchoFactory factory;
    factory.failWith = EchoFailure::NotPermitted;
    const QString denied = EchoUnavailableText(TPing(factory, resolver), "/usr/bin/lumeo");
    EXPECT_TRUE(denied.startsWith("Pinging is not available on this computer: no ICMP socket could be opened"));
    EXPECT_TRUE(denied.contains("sudo setcap cap_net_raw+ep /usr/bin/lumeo"));
    EXPECT_TRUE(denied.contains("net.ipv4.ping_group_range=\"0 2147483647\""));
    // No other failure is cured by a permission.
    for (EchoFailure other : {EchoFailure::SocketsUnavailable, EchoFailure::NoHandle, EchoFailure::SetupFailed}) {
        factory.failWith = other;
        const QString text = EchoUnavailableText(TPing(factory, resolver), "/usr/bin/lumeo");
        EXPECT_FALSE(text.contains("setcap")) << EchoFailureMessage(other);
        EXPECT_TRUE(text.contains("Every other command works as usual")) << EchoFailureMessage(other);
    }
}

class PingLookup : public ::testing::Test {
protected:
    FakeResolver resolver;
    FakeEchoFactory factory;
    TPing ping{factory, resolver};
    QList<int> codes;
    QStringList results;

    void SetUp() override
    {
        resolver.manual = true;
        ping.OnDnsLookupDone = [this](TPing *p, std::uint16_t e) {
            codes << e;
            results << p->DnsResult();
        };
    }
};

TEST_F(PingLookup, DottedAddressesCompleteInsideTheCallInCanonicalForm)
{
    ping.DnsLookup("10.0.0.1");
    ping.DnsLookup("10.1");
    ping.DnsLookup("010.0.0.1");
    EXPECT_EQ(codes, QList<int>({0, 0, 0}));
    EXPECT_EQ(results, QStringList({"10.0.0.1", "10.0.0.1", "8.0.0.1"}));
    EXPECT_TRUE(resolver.asked.isEmpty());
    ping.DnsLookup("255.255.255.255"); // inet_addr cannot tell it apart: the resolver gets it
    EXPECT_EQ(resolver.asked, QStringList({"255.255.255.255"}));
    EXPECT_EQ(codes.size(), 3);
}

TEST_F(PingLookup, NamesCompleteLaterWithTheFirstAddressOrTheError)
{
    resolver.table["multi"] = LookupResult{RESOLVE_OK, {ip("10.0.0.8"), ip("10.0.0.9")}};
    ping.DnsLookup("multi");
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_TRUE(ping.DnsResult().isEmpty());
    resolver.complete(resolver.pending.firstKey());
    ping.DnsLookup("unknown");
    resolver.complete(resolver.pending.firstKey());
    EXPECT_EQ(codes, QList<int>({0, WSAHOST_NOT_FOUND}));
    EXPECT_EQ(results, QStringList({"10.0.0.8", ""}));
}

TEST_F(PingLookup, ASecondLookupReplacesTheFirstAndCancelHitsTheSecond)
{
    ping.DnsLookup("first");
    const int first = resolver.pending.firstKey();
    ping.DnsLookup("second");
    resolver.deliverLate(first); // a late answer for the replaced lookup is dropped
    EXPECT_TRUE(codes.isEmpty());
    ping.CancelDnsLookup();
    EXPECT_EQ(codes, QList<int>({WSAEINTR_CANCELLED}));
    EXPECT_TRUE(resolver.pending.isEmpty());
    ping.CancelDnsLookup(); // nothing pending: no event
    EXPECT_EQ(codes.size(), 1);
}

TEST_F(PingLookup, ALookupThatCannotStartRaises)
{
    resolver.refuseStart = true;
    try {
        ping.DnsLookup("host");
        FAIL();
    } catch (const Exception &e) {
        EXPECT_TRUE(e.message().startsWith("host: can't start DNS lookup, error #"));
    }
}

TEST_F(PingLookup, DestroyingThePendingComponentReportsNothing)
{
    auto other = std::make_unique<TPing>(factory, resolver);
    int fired = 0;
    other->OnDnsLookupDone = [&](TPing *, std::uint16_t) { ++fired; };
    other->DnsLookup("slow");
    const int id = resolver.pending.lastKey();
    other.reset();
    resolver.deliverLate(id);
    EXPECT_EQ(fired, 0);
}

TEST(WSocketLookup, ListsEveryAddressAndRejectsEmptyNames)
{
    FakeResolver resolver;
    resolver.manual = true;
    resolver.table["three"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1"), ip("10.0.0.2"), ip("10.0.0.3")}};
    TWSocket ws(resolver);
    QList<int> codes;
    ws.OnDnsLookupDone = [&](TWSocket *, std::uint16_t e) { codes << e; };

    ws.DnsLookup("10.0.0.7");
    EXPECT_EQ(ws.DnsResult(), "10.0.0.7");
    EXPECT_TRUE(ws.DnsResultList().isEmpty());

    ws.DnsLookup("three");
    resolver.complete(resolver.pending.firstKey());
    EXPECT_EQ(ws.DnsResultList(), QStringList({"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(ws.DnsResult(), "10.0.0.1");

    try {
        ws.DnsLookup("");
        FAIL();
    } catch (const ESocketException &e) {
        EXPECT_EQ(e.message(), "DNS lookup: invalid host name.");
    }
    EXPECT_EQ(codes, QList<int>({0, 0}));
    ws.OnError = [](TWSocket *) {};
    ws.DnsLookup("");
    EXPECT_EQ(codes.last(), WSAEINVAL_NAME);
}

TEST(WSocketLookup, ReverseLookupValidatesItsInput)
{
    FakeResolver resolver;
    resolver.names[ip("10.0.0.1")] = "alpha";
    EXPECT_EQ(WSocketGetHostByAddr(resolver, "10.0.0.1"), std::optional<QString>("alpha"));
    EXPECT_EQ(WSocketGetHostByAddr(resolver, "10.0.0.2"), std::nullopt);
    for (const QString &bad : {QString(), QString(257, QLatin1Char('1'))}) {
        try {
            WSocketGetHostByAddr(resolver, bad);
            FAIL();
        } catch (const ESocketException &e) {
            EXPECT_EQ(e.message(), "WSocketGetHostByAddr: Invalid address.");
        }
    }
}

// Requests in flight together keep to one a gap on average: a late timer is
// made up for, but never by more than three leaving at once.
TEST_F(Icmp, PacedRequestsKeepTheirRateAndCatchUpAfterAStallInSmallSteps)
{
    using namespace std::chrono;
    const auto gap = milliseconds(20);
    icmp.setSendGap(gap);
    int done = 0;
    for (int k = 1; k <= 12; ++k)
        icmp.send(QStringLiteral("10.0.0.%1").arg(k), EchoHandlers{{}, [&done](const EchoResult &) { ++done; }});
    // The thread is held up for ten gaps before its event loop runs again.
    std::this_thread::sleep_for(10 * gap);
    QElapsedTimer t;
    t.start();
    while (done < 12 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const auto &sent = factory.channel->sentAt;
    ASSERT_EQ(sent.size(), 12u);
    // The first left at once; after the stall three go together, then one a gap.
    int together = 1;
    for (std::size_t i = 1; i < sent.size(); ++i) {
        together = sent[i] - sent[i - 1] < gap / 4 ? together + 1 : 1;
        EXPECT_LE(together, 3) << i;
    }
    EXPECT_LT(sent[3] - sent[1], gap / 2) << "the stall was not made up for";
    EXPECT_GE(sent.back() - sent[3], 8 * gap - milliseconds(2)) << "after catching up, one a gap";
}

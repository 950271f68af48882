#include "ping/HostResolver.h"
#include "ping/TestNetwork.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace TestNet;

namespace {
// Waits on the event loop for one completion, at most two seconds.
LookupResult lookupAndWait(SystemResolver &resolver, const QString &name, bool *completedInline = nullptr)
{
    LookupResult result{-1, {}};
    bool done = false;
    QEventLoop loop;
    resolver.lookup(name, [&](int, const LookupResult &r) {
        result = r;
        done = true;
        loop.quit();
    });
    if (completedInline)
        *completedInline = done;
    if (!done) {
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result;
}
} // namespace

TEST(ResolverOnTestNetwork, ForwardLookupsThroughTheEventLoop)
{
    REQUIRE_TEST_NETWORK();
    SystemResolver resolver;
    bool inlineDone = true;
    const LookupResult alpha = lookupAndWait(resolver, "alpha", &inlineDone);
    EXPECT_FALSE(inlineDone);
    EXPECT_EQ(alpha.error, 0);
    EXPECT_EQ(alpha.addresses, QList<Ipv4Address>({ip(live1)}));
    const LookupResult multi = lookupAndWait(resolver, "multi");
    EXPECT_EQ(multi.addresses, QList<Ipv4Address>({ip("10.201.2.3"), ip("10.201.2.4")}));
    const LookupResult unknown = lookupAndWait(resolver, "no-such-host");
    EXPECT_NE(unknown.error, 0);
    EXPECT_NE(unknown.error, -1) << "no completion within two seconds";
    EXPECT_TRUE(unknown.addresses.isEmpty());
    const LookupResult empty = lookupAndWait(resolver, "");
    EXPECT_NE(empty.error, 0);
    EXPECT_NE(empty.error, -1);
}

TEST(ResolverOnTestNetwork, LiteralsAnswerThemselvesAsynchronously)
{
    REQUIRE_TEST_NETWORK();
    SystemResolver resolver;
    bool inlineDone = true;
    const LookupResult all = lookupAndWait(resolver, "255.255.255.255", &inlineDone);
    EXPECT_FALSE(inlineDone);
    EXPECT_EQ(all.error, 0);
    EXPECT_EQ(all.addresses, QList<Ipv4Address>({kLimitedBroadcast}));
}

TEST(ResolverOnTestNetwork, AnAbortedLookupNeverCompletes)
{
    REQUIRE_TEST_NETWORK();
    SystemResolver resolver;
    int calls = 0;
    const int a = resolver.lookup("alpha", [&](int, const LookupResult &) { ++calls; });
    const int b = resolver.lookup("255.255.255.255", [&](int, const LookupResult &) { ++calls; });
    resolver.abort(a);
    resolver.abort(b);
    // Then the same name again, which Qt may answer from its cache.
    const LookupResult again = lookupAndWait(resolver, "alpha");
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(again.addresses, QList<Ipv4Address>({ip(live1)}));
}

TEST(ResolverOnTestNetwork, BlockingForwardAndReverseLookups)
{
    REQUIRE_TEST_NETWORK();
    SystemResolver resolver;
    EXPECT_EQ(resolver.resolve("bravo").addresses, QList<Ipv4Address>({ip("10.201.2.2")}));
    EXPECT_NE(resolver.resolve("no-such-host").error, 0);
    EXPECT_EQ(resolver.reverse(ip(live1)), std::optional<QString>("alpha"));
    EXPECT_EQ(resolver.reverse(ip("10.201.3.200")), std::nullopt);
}

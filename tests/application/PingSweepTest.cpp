#include "application/PingSweep.h"
#include "ping/Ping.h"
#include "resources/ListCompare.h"
#include "resources/ResourceList.h"
#include "support/FakeHostProber.h"
#include "support/FakePlatform.h"
#include "support/LocaleFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <time.h>

namespace {

Ipv4Address ip(const char *dotted) { return *Ipv4Address::fromText(QString::fromLatin1(dotted)); }
Ipv4Address host(int k) { return *Ipv4Address::fromText(QStringLiteral("10.0.0.%1").arg(k)); }

// What the sweep tells its observers.
class RecordingView : public QObject {
public:
    QList<int> shown;
    QStringList messages;
    std::function<void(int)> onShow;
    std::exception_ptr failure;
    QList<std::pair<int, PingResult>> results;
    void watch(PingSweep &sweep)
    {
        connect(&sweep, &PingSweep::rowVisited, this, [this](int row) {
            shown << row;
            if (onShow)
                onShow(row);
        });
        connect(&sweep, &PingSweep::message, this, [this](const QString &text) { messages << text; });
        connect(&sweep, &PingSweep::failed, this, [this](std::exception_ptr e) { failure = e; });
        connect(&sweep, &PingSweep::rowFinished, this, [this](int row, const PingResult &r) {
            results.append({row, r});
        });
    }
};

class SweepBase : public ::testing::Test {
protected:
    FakeResolver resolver;
    FakeEchoFactory factory;
    ResourceList list;
    RecordingView view;
    std::unique_ptr<TPing> ping;
    std::unique_ptr<PingSweep> sweep;

    void SetUp() override { build(); }
    void build(int parallel = 1)
    {
        sweep.reset();
        ping = std::make_unique<TPing>(factory, resolver);
        ping->setSize(56);
        sweep = std::make_unique<PingSweep>(list, *ping);
        view.watch(*sweep);
        sweep->setParallel(parallel);
        sweep->now = [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 3, 12)); };
        list.setLocaleFormats(us());
    }
    FakeEchoChannel &echo() { return *factory.channel; }
    int add(const QString &name, const QString &address = QString())
    {
        return list.append(ResourceRow::created(name, address, "OFFICE"));
    }
    QString message(int row) const { return list.row(row).subItem(siMessage); }
};

// What the one-at-a-time sweep writes, the sweep writes with any number of
// rows in flight, whether answers come later or inside the send.
struct Width {
    int parallel;
    bool answerInside;
    friend void PrintTo(const Width &w, std::ostream *os)
    {
        *os << w.parallel << (w.answerInside ? " answered inside" : "");
    }
};
class Sweep : public SweepBase, public ::testing::WithParamInterface<Width> {
protected:
    void SetUp() override { build(GetParam().parallel); }
    void build(int parallel)
    {
        SweepBase::build(parallel);
        if (ping->available())
            echo().answerInside = GetParam().answerInside;
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(InFlight, Sweep,
                         ::testing::Values(Width{1, false}, Width{3, false}, Width{EchoLimits::kMaxParallel, false},
                                           Width{1, true}, Width{3, true}),
                         [](const auto &info) {
                             return "N" + std::to_string(info.param.parallel)
                                    + (info.param.answerInside ? "AnsweredInside" : "");
                         });

TEST_P(Sweep, EmptyListOnlyReportsStartAndEnd)
{
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_EQ(view.messages, QStringList({"Pinging resources...", "Done"}));
    EXPECT_TRUE(view.shown.isEmpty());
}

TEST_P(Sweep, UntickedRowsAreVisitedButKeepTheirCells)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    list.uncheckAll();
    const auto before = list.rows();
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_EQ(view.shown, QList<int>({0, 1}));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(list.row(i).subItems, before[std::size_t(i)].subItems);
    EXPECT_TRUE(echo().requests.empty());
}

TEST_P(Sweep, WritesEachOutcomeIntoItsRow)
{
    resolver.table["alpha"] = LookupResult{RESOLVE_OK, {ip("10.0.0.10"), ip("10.0.0.11")}};
    echo().outcomes[ip("10.0.0.10")] = FakeEchoChannel::reply(ip("10.0.0.10"), 56, 3);
    echo().outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 0);
    echo().outcomes[ip("10.0.0.3")] = FakeEchoChannel::failure(IP_DEST_HOST_UNREACHABLE);
    add("alpha");                      // name only: gains its address
    add("typed", "10.1");              // rewritten in canonical form
    add("ghost");                      // unknown name
    add("quiet", "10.0.0.2");          // times out
    add("refused", "10.0.0.3");        // unreachable
    add("multi", "10.0.0.4,10.0.0.5"); // the whole text is one name
    add("skipped", "10.0.0.1");
    add("everyone", "255.255.255.255"); // refused without a send
    list.setChecked(6, false);
    list.setSubItem(2, siLastTest, "old");

    ASSERT_TRUE(runSweep(*sweep));

    EXPECT_EQ(list.row(0).subItem(siAddress), "10.0.0.10");
    EXPECT_EQ(message(0), "Received 56 bytes in 3 ms");
    EXPECT_EQ(list.row(0).imageIndex, imgReply);
    EXPECT_EQ(list.row(0).subItem(siLastTest), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(list.row(1).subItem(siAddress), "10.0.0.1");
    EXPECT_EQ(message(1), "Received 56 bytes in 0 ms");
    EXPECT_EQ(message(2), "Unknown host");
    EXPECT_EQ(list.row(2).imageIndex, imgFailure);
    EXPECT_EQ(list.row(2).subItem(siLastTest), "old"); // a failed lookup keeps Last Test
    EXPECT_EQ(message(3), "Cannot ping host : Request timed out");
    EXPECT_EQ(list.row(3).subItem(siLastTest), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(message(4), "Cannot ping host : Destination host unreachable");
    EXPECT_EQ(message(5), "Unknown host");
    EXPECT_EQ(resolver.asked, QStringList({"alpha", "ghost", "10.0.0.4,10.0.0.5", "255.255.255.255"}));
    EXPECT_EQ(message(6), "<not tested>");
    EXPECT_EQ(message(7), "Cannot ping host : Bad Destination");
    EXPECT_EQ(list.row(7).imageIndex, imgFailure);
    EXPECT_EQ(list.row(7).subItem(siLastTest), "12/8/2026 2:03:12 PM");
    EXPECT_EQ(view.messages, QStringList({"Pinging resources...", "Done"}));
    EXPECT_EQ(view.shown, QList<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(echo().requests.size(), 4u);

    // The same outcomes as data, in each row and to the sweep's observers.
    const QDateTime when = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 12)).toUTC();
    const auto address = [](const char *text) { return Ipv4Address::fromText(QString::fromLatin1(text)); };
    const struct {
        int row;
        PingOutcome outcome;
        QString host;
        std::optional<Ipv4Address> address;
        std::optional<qint64> micros;
        quint32 status;
        QString detail;
    } expected[] = {
        {0, PingOutcome::Reply, "alpha", address("10.0.0.10"), 3250, IP_SUCCESS, ""},
        {1, PingOutcome::Reply, "10.1", address("10.0.0.1"), 250, IP_SUCCESS, ""},
        {2, PingOutcome::UnknownHost, "ghost", std::nullopt, std::nullopt, WSAHOST_NOT_FOUND, "Unknown host"},
        {3, PingOutcome::TimedOut, "10.0.0.2", address("10.0.0.2"), std::nullopt, IP_REQ_TIMED_OUT,
         "Request timed out"},
        {4, PingOutcome::HostUnreachable, "10.0.0.3", address("10.0.0.3"), std::nullopt, IP_DEST_HOST_UNREACHABLE,
         "Destination host unreachable"},
        {5, PingOutcome::UnknownHost, "10.0.0.4,10.0.0.5", std::nullopt, std::nullopt, WSAHOST_NOT_FOUND,
         "Unknown host"},
        {7, PingOutcome::BadDestination, "255.255.255.255", address("255.255.255.255"), std::nullopt,
         IP_BAD_DESTINATION, "Bad Destination"},
    };
    // Observers hear of each row once, in the order the outcomes come.
    std::map<int, PingResult> heard;
    for (const auto &[row, result] : view.results)
        EXPECT_TRUE(heard.emplace(row, result).second) << row;
    ASSERT_EQ(heard.size(), std::size(expected));
    for (const auto &e : expected) {
        SCOPED_TRACE(e.row);
        ASSERT_TRUE(list.row(e.row).result);
        const PingResult &r = *list.row(e.row).result;
        EXPECT_TRUE(heard[e.row] == r);
        EXPECT_EQ(r.outcome, e.outcome);
        EXPECT_EQ(r.host, e.host);
        EXPECT_EQ(r.address, e.address);
        EXPECT_EQ(r.roundTripMicroseconds, e.micros);
        EXPECT_EQ(r.replySize, e.outcome == PingOutcome::Reply ? std::optional<int>(56) : std::nullopt);
        EXPECT_EQ(r.status, e.status);
        EXPECT_EQ(r.detail, e.detail);
        EXPECT_EQ(r.when, when);
    }
    EXPECT_FALSE(list.row(6).result); // not ticked, not tested
}

TEST_P(Sweep, ShowsProgressInTheRowWhileItWorks)
{
    add("host");
    QStringList seen;
    echo().duringWait = [&] { seen << message(0); };
    resolver.manual = true;
    resolver.table["host"] = LookupResult{RESOLVE_OK, {ip("10.0.0.1")}};
    QTimer::singleShot(0, [&] {
        seen << message(0);
        resolver.complete(resolver.pending.firstKey());
    });
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_EQ(seen, QStringList({"Resolving hostname...", "Sending 56 bytes..."}));
}

TEST_P(Sweep, WithoutAnEchoServiceEveryTickedRowSaysSo)
{
    factory.failWith = EchoFailure::NotPermitted;
    build(GetParam().parallel);
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    ASSERT_TRUE(runSweep(*sweep));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(message(i), "Cannot ping host : Echo service not available");
        EXPECT_EQ(list.row(i).imageIndex, imgFailure);
    }
    EXPECT_EQ(view.messages.last(), "Done");
}

TEST_P(Sweep, RemovingTheRowUnderTestNeverWritesIntoAnotherRow)
{
    resolver.manual = true;
    add("first");
    add("second");
    add("third", "10.0.0.3");
    resolver.table["first"] = LookupResult{RESOLVE_OK, {host(1)}};
    resolver.table["second"] = LookupResult{RESOLVE_OK, {host(2)}};
    for (int k = 1; k <= 3; ++k)
        echo().outcomes[host(k)] = FakeEchoChannel::reply(host(k), 56, std::uint32_t(k));
    const auto completeLookupOf = [&](const QString &name) {
        for (auto it = resolver.pending.cbegin(); it != resolver.pending.cend(); ++it)
            if (it->name == name)
                return resolver.complete(it.key());
    };
    // While "first" is looked up, the user removes it, then the answer comes;
    // "second" (row 0 by then) is answered once its lookup has started. Each
    // answer follows its own lookup, whatever a loaded machine does to timers.
    view.onShow = [&](int row) {
        const QString name = list.row(row).subItem(0);
        if (name == "first")
            QTimer::singleShot(0, [&] {
                list.removeAt(0);
                completeLookupOf("first");
            });
        else if (name == "second")
            QTimer::singleShot(0, [&] { completeLookupOf("second"); });
    };
    ASSERT_TRUE(runSweep(*sweep));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.row(0).subItem(0), "second");
    EXPECT_EQ(message(0), "Received 56 bytes in 2 ms");
    EXPECT_EQ(list.row(0).subItem(siAddress), "10.0.0.2");
    EXPECT_EQ(message(1), "Received 56 bytes in 3 ms");
    EXPECT_EQ(echo().requests.size(), 2u); // the removed host is never pinged
}

TEST_P(Sweep, SortingDuringTheEchoWaitKeepsOutcomesWithTheirHosts)
{
    add("zulu", "10.0.0.26");
    add("alpha", "10.0.0.1");
    echo().outcomes[ip("10.0.0.26")] = FakeEchoChannel::reply(ip("10.0.0.26"), 56, 26);
    echo().outcomes[ip("10.0.0.1")] = FakeEchoChannel::reply(ip("10.0.0.1"), 56, 1);
    bool sorted = false;
    echo().duringWait = [&] {
        if (!sorted) {
            sorted = true;
            list.columnClicked(ResourceList::colResource); // zulu moves to row 1
        }
    };
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_EQ(list.row(0).subItem(0), "alpha");
    EXPECT_EQ(message(0), "Received 56 bytes in 1 ms");
    EXPECT_EQ(list.row(1).subItem(0), "zulu");
    EXPECT_EQ(message(1), "Received 56 bytes in 26 ms");
    EXPECT_EQ(echo().requests.size(), 2u); // each host tested once
}

TEST_P(Sweep, ReplacingTheListDuringAWaitEndsTheSweepQuietly)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    echo().duringWait = [&] {
        std::vector<ResourceRow> fresh{ResourceRow::created("other", "10.0.0.9", "")};
        list.setRows(fresh);
    };
    ASSERT_TRUE(runSweep(*sweep));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(message(0), "<not tested>");
    // Only rows started before the list was replaced were pinged: the second
    // too when it did not wait for the first's answer.
    const bool together = GetParam().parallel > 1 && !GetParam().answerInside;
    EXPECT_EQ(echo().requests.size(), together ? 2u : 1u);
    EXPECT_EQ(view.messages.last(), "Done");
}

TEST_P(Sweep, ASecondPingWhileOneRunsIsIgnored)
{
    add("a", "10.0.0.1");
    add("b", "10.0.0.2");
    echo().duringWait = [&] { EXPECT_FALSE(sweep->start()); };
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_EQ(echo().requests.size(), 2u);
    EXPECT_EQ(view.messages, QStringList({"Pinging resources...", "Done"}));
}

// No row starts after the failure; the rows already in flight end first.
TEST_P(Sweep, ALookupThatCannotStartLeavesTheSweepWithAnError)
{
    resolver.refuseStart = true;
    echo().outcomes[host(1)] = FakeEchoChannel::reply(host(1), 56, 1);
    add("first", "10.0.0.1");
    add("name");
    add("next", "10.0.0.2");
    ASSERT_TRUE(runSweep(*sweep));
    ASSERT_TRUE(view.failure);
    EXPECT_THROW(std::rethrow_exception(view.failure), Exception);
    EXPECT_FALSE(sweep->running());
    EXPECT_EQ(message(0), "Received 56 bytes in 1 ms");
    EXPECT_EQ(message(1), "Resolving hostname...");
    EXPECT_EQ(message(2), "<not tested>");
    EXPECT_EQ(view.messages.last(), "Pinging resources...");
}

TEST_P(Sweep, WaitingForALookupLeavesTheProcessorIdle)
{
    resolver.manual = true;
    add("slow");
    QTimer::singleShot(400, [&] { resolver.complete(resolver.pending.firstKey()); });
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(runSweep(*sweep));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    const double cpuMs = double(b.tv_sec - a.tv_sec) * 1000.0 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_GE(t.elapsed(), 390);
    EXPECT_LT(cpuMs, 100.0);
    EXPECT_EQ(message(0), "Unknown host");
}

// Rows in flight together send their requests a gap apart; one row at a
// time waits for each answer instead and needs no gap.
TEST_F(SweepBase, OnlyRowsInFlightTogetherArePaced)
{
    const auto gap = std::chrono::milliseconds(150);
    for (const int parallel : {1, 3}) {
        build(parallel);
        sweep->setSendGap(gap);
        list.clear();
        for (int k = 1; k <= 3; ++k)
            add(QStringLiteral("h%1").arg(k), QStringLiteral("10.0.0.%1").arg(k));
        ASSERT_TRUE(runSweep(*sweep));
        ASSERT_EQ(echo().sentAt.size(), 3u);
        // Together they keep to one request a gap (a late one is made up
        // for); one at a time needs no gap.
        EXPECT_EQ(echo().sentAt[2] - echo().sentAt[0] >= 2 * gap, parallel > 1) << parallel;
        for (std::size_t i = 1; i < 3; ++i)
            EXPECT_EQ(echo().sentAt[i] - echo().sentAt[i - 1] >= gap / 2, parallel > 1) << parallel;
    }
}

// --- Rows in flight: the fake answers only when told, newest first ---

namespace {

class SweepInFlight : public SweepBase {
protected:
    static constexpr int kWidth = 3;
    QTimer driver;
    int mostInFlight = 0;

    void SetUp() override
    {
        build(kWidth);
        echo().manual = true;
        resolver.manual = true;
        // Host k answers in k ms, so a row's message tells whose answer it got.
        for (int k = 1; k <= 7; ++k) {
            echo().outcomes[host(k)] = FakeEchoChannel::reply(host(k), 56, std::uint32_t(k));
            resolver.table[QStringLiteral("h%1").arg(k)] = LookupResult{RESOLVE_OK, {host(k)}};
            add(QStringLiteral("h%1").arg(k),
                k % 2 ? QString() : QStringLiteral("10.0.0.%1").arg(k)); // odd ones by name
        }
        driver.setInterval(2);
        QObject::connect(&driver, &QTimer::timeout, [this] {
            countInFlight();
            if (!resolver.pending.isEmpty())
                resolver.complete(resolver.pending.lastKey());
            else if (!echo().inFlight.isEmpty())
                echo().answer(echo().inFlight.lastKey());
        });
    }
    void countInFlight()
    {
        int n = 0;
        for (int i = 0; i < list.count(); ++i)
            n += message(i) == "Resolving hostname..." || message(i).startsWith("Sending ");
        mostInFlight = std::max(mostInFlight, n);
    }
};

} // namespace

TEST_F(SweepInFlight, AnswersInAnyOrderAndEditsDuringTheWaitsReachOnlyTheirOwnRows)
{
    struct Case {
        const char *what;
        std::function<void(ResourceList &)> edit;
        int rowsLeft;
        int answered;
    };
    const std::vector<Case> cases = {
        {"no edit", [](ResourceList &) {}, 7, 7},
        {"remove a row in flight", [](ResourceList &l) { l.removeAt(1); }, 6, 6},
        {"remove a row not started", [](ResourceList &l) { l.removeAt(5); }, 6, 6},
        {"sort descending",
         [](ResourceList &l) {
             l.columnClicked(ResourceList::colResource);
             l.columnClicked(ResourceList::colResource);
         },
         7, 7},
        {"reopen the same hosts",
         [](ResourceList &l) {
             auto rows = l.rows();
             for (auto &r : rows)
                 r.subItems[siMessage] = "<not tested>";
             l.setRows(rows);
         },
         7, 0},
        {"clear", [](ResourceList &l) { l.clear(); }, 0, 0},
    };
    const auto rows = list.rows();
    static const QRegularExpression received(QStringLiteral("^Received 56 bytes in (\\d+) ms$"));
    for (const Case &c : cases) {
        list.setRows(rows);
        view.shown.clear();
        mostInFlight = 0;
        // The edit comes once three rows are in flight, before any has its answer.
        view.onShow = [&](int row) {
            if (row == kWidth - 1 && view.shown.size() == kWidth)
                QTimer::singleShot(0, [&] {
                    countInFlight();
                    c.edit(list);
                });
        };
        driver.start();
        ASSERT_TRUE(runSweep(*sweep));
        driver.stop();
        ASSERT_EQ(list.count(), c.rowsLeft) << c.what;
        int answered = 0;
        for (int i = 0; i < list.count(); ++i) {
            const QRegularExpressionMatch m = received.match(message(i));
            if (m.hasMatch()) {
                ++answered;
                EXPECT_EQ("h" + m.captured(1), list.row(i).subItem(siResource)) << c.what << ", row " << i;
                EXPECT_EQ("10.0.0." + m.captured(1), list.row(i).subItem(siAddress)) << c.what << ", row " << i;
            }
        }
        EXPECT_EQ(answered, c.answered) << c.what;
        EXPECT_EQ(mostInFlight, kWidth) << c.what;
        EXPECT_EQ(view.messages.last(), "Done") << c.what;
    }
    EXPECT_EQ(view.shown, QList<int>({0, 1, 2})); // cleared once three had started
}

TEST_F(SweepInFlight, AbortDropsEveryRowInFlightAtOnce)
{
    sweep->setSendGap(std::chrono::milliseconds(50));
    // At the abort row 0 (a name) waits for its lookup, row 1 for its echo
    // and row 2 for its turn to send.
    QTimer::singleShot(20, [&] {
        resolver.complete(resolver.pending.lastKey());
        sweep->abort();
    });
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(runSweep(*sweep));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(sweep->running());
    EXPECT_TRUE(resolver.pending.isEmpty());
    EXPECT_TRUE(echo().inFlight.isEmpty());
    EXPECT_EQ(echo().cancelled.size(), 1);
    // Nothing leaves and nothing is written any more, whatever still arrives.
    ASSERT_EQ(resolver.abortedLookups.size(), 1);
    resolver.deliverLate(resolver.abortedLookups.firstKey());
    while (t.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_EQ(echo().requests.size(), 1u);
    const QStringList shown = {message(0), message(1), message(2), message(3)};
    EXPECT_EQ(shown,
              QStringList({"Resolving hostname...", "Sending 56 bytes...", "Resolving hostname...", "<not tested>"}));
    EXPECT_EQ(view.messages, QStringList({"Pinging resources..."}));
    // The rows dropped in flight say so as data; the one not started has no record.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(list.row(i).result) << i;
        EXPECT_EQ(list.row(i).result->outcome, PingOutcome::Aborted) << i;
    }
    EXPECT_FALSE(list.row(3).result);
}

// --- Probes after a silent echo ---

TEST_F(SweepBase, ASilentRowIsProbedAndAProofMakesItUpWithoutEcho)
{
    FakeHostProber prober;
    const auto at = [](const char *a) { return *Ipv4Address::fromText(QString::fromLatin1(a)); };
    const std::pair<const char *, std::optional<ProbeProof>> proofs[] = {
        {"10.0.0.1", ProbeProof{ProbeProof::Kind::TcpConnected, 445, {}, 3400}},
        {"10.0.0.2", ProbeProof{ProbeProof::Kind::Neighbour, 0, QByteArray::fromHex("525400123456"), 900}},
        {"10.0.0.3", std::nullopt},
        {"10.0.0.4", ProbeProof{ProbeProof::Kind::TcpRefused, 22, {}, 1200}},
        {"10.0.0.5", ProbeProof{ProbeProof::Kind::TcpConnected, 80, {}, 500}},
        {"10.0.0.6", ProbeProof{ProbeProof::Kind::TcpConnected, 80, {}, 500}},
    };
    for (const auto &[address, proof] : proofs)
        prober.answers[at(address)] = FakeHostProber::Answer{proof, std::chrono::milliseconds(0), false};
    // An ICMP error: from the target itself (its firewall), or from a router.
    const auto refusal = [](Ipv4Address from) {
        EchoOutcome o = FakeEchoChannel::failure(IP_DEST_HOST_UNREACHABLE);
        o.reply.Address = from.networkOrder();
        return o;
    };
    struct Case {
        const char *what;
        const char *address;
        std::optional<EchoOutcome> echo; // none: a timeout
        QString message;
        int image;
        PingOutcome outcome;
        bool probed;
    };
    const Case cases[] = {
        {"a port takes the connection", "10.0.0.1", std::nullopt, "No echo reply; TCP 445 answered in 3 ms",
         imgComputer, PingOutcome::UpWithoutEcho, true},
        {"ARP answered", "10.0.0.2", std::nullopt, "No echo reply; answers ARP as 52:54:00:12:34:56", imgComputer,
         PingOutcome::UpWithoutEcho, true},
        {"nothing proves it up", "10.0.0.3", std::nullopt, "Cannot ping host : Request timed out", imgFailure,
         PingOutcome::TimedOut, true},
        {"a refusal is an answer", "10.0.0.4", std::nullopt, "No echo reply; TCP 22 answered in 1 ms", imgComputer,
         PingOutcome::UpWithoutEcho, true},
        {"the target's own firewall rejected the echo", "10.0.0.5", refusal(at("10.0.0.5")),
         "No echo reply; TCP 80 answered in 0 ms", imgComputer, PingOutcome::UpWithoutEcho, true},
        {"a router says the host is unreachable", "10.0.0.6", refusal(at("10.0.0.254")),
         "Cannot ping host : Destination host unreachable", imgFailure, PingOutcome::HostUnreachable, false},
        {"it answers echo", "10.0.0.7", FakeEchoChannel::reply(at("10.0.0.7"), 56, 2), "Received 56 bytes in 2 ms",
         imgReply, PingOutcome::Reply, false},
    };
    for (const bool probing : {true, false}) {
        SCOPED_TRACE(probing ? "probe ports set" : "no probe ports: as designed");
        sweep.reset();
        sweep = std::make_unique<PingSweep>(list, *ping, &prober);
        sweep->now = [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 3, 12)); };
        sweep->setProbePorts(probing ? QList<quint16>{445, 22, 80} : QList<quint16>{});
        prober.requests.clear();
        list.clear();
        for (const Case &c : cases) {
            add(c.what, QString::fromLatin1(c.address));
            if (c.echo)
                echo().outcomes[at(c.address)] = *c.echo;
        }
        ASSERT_TRUE(runSweep(*sweep));
        QList<Ipv4Address> probedTargets;
        for (const ProbeRequest &r : prober.requests) {
            probedTargets << r.target;
            EXPECT_EQ(r.ports, QList<quint16>({445, 22, 80}));
            EXPECT_TRUE(r.neighbour);
            EXPECT_EQ(r.budget, EchoLimits::kProbeBudget);
        }
        for (int i = 0; i < int(std::size(cases)); ++i) {
            const Case &c = cases[i];
            SCOPED_TRACE(c.what);
            const bool probed = probing && c.probed;
            EXPECT_EQ(probedTargets.contains(at(c.address)), probed);
            if (!probing && c.outcome == PingOutcome::UpWithoutEcho) {
                // Without probes the design's outcome: the echo's failure.
                EXPECT_EQ(list.row(i).imageIndex, imgFailure);
                EXPECT_TRUE(message(i).startsWith("Cannot ping host : ")) << message(i).toStdString();
                continue;
            }
            EXPECT_EQ(message(i), c.message);
            EXPECT_EQ(list.row(i).imageIndex, c.image);
            EXPECT_EQ(list.row(i).subItem(siLastTest), "12/8/2026 2:03:12 PM");
            ASSERT_TRUE(list.row(i).result);
            EXPECT_EQ(list.row(i).result->outcome, c.outcome);
            EXPECT_EQ(list.row(i).result->probe.has_value(), c.outcome == PingOutcome::UpWithoutEcho);
            if (list.row(i).result->probe) {
                EXPECT_EQ(*list.row(i).result->probe, *prober.answers.value(at(c.address)).proof);
            }
        }
    }
}

TEST_F(SweepBase, AbortingWhileTheProbesAskEndsThemAtOnce)
{
    FakeHostProber prober;
    prober.answers[*Ipv4Address::fromText(u"10.0.0.9")] = FakeHostProber::Answer{std::nullopt, {}, true};
    sweep.reset();
    sweep = std::make_unique<PingSweep>(list, *ping, &prober);
    sweep->setProbePorts({445});
    add("quiet", "10.0.0.9");
    QTimer::singleShot(30, [&] { sweep->abort(); });
    ASSERT_TRUE(runSweep(*sweep, 2000));
    ASSERT_EQ(prober.requests.size(), 1u);
    EXPECT_EQ(prober.cancelled.size(), 1);
    ASSERT_TRUE(list.row(0).result);
    EXPECT_EQ(list.row(0).result->outcome, PingOutcome::Aborted);
}

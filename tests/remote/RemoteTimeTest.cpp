#include "base/Exception.h"
#include "remote/Captures.h"
#include "remote/FakeSmbServer.h"
#include "remote/NTRemoteDateTime.h"
#include "remote/RemoteTimeOfDay.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TIME_OF_DAY_INFO reported(int y, int mo, int d, int h, int mi, int s, int zone, int weekday = 3, int hunds = 42)
{
    TIME_OF_DAY_INFO t;
    t.tod_year = quint32(y);
    t.tod_month = quint32(mo);
    t.tod_day = quint32(d);
    t.tod_hours = quint32(h);
    t.tod_mins = quint32(mi);
    t.tod_secs = quint32(s);
    t.tod_timezone = zone;
    t.tod_weekday = quint32(weekday);
    t.tod_hunds = quint32(hunds);
    return t;
}

} // namespace

TEST(RemoteTimeTest, TheTwelveValuesFromTheNegotiateClock)
{
    const struct {
        const char *what;
        smb::ServerTime time;
        std::optional<TIME_OF_DAY_INFO>
            info; // elapsed, msecs, h, m, s, hunds, zone, interval, day, month, year, weekday
    } cases[] = {
        {"the start of 1970",
         {116444736000000000ull, -1},
         TIME_OF_DAY_INFO{0, 817260544, 0, 0, 0, 0, -1, 0, 1, 1, 1970, 4}},
        {"a captured clock",
         {134411842001036892ull, 300},
         TIME_OF_DAY_INFO{1796710600, 2231530919, 6, 16, 40, 10, 300, 0, 8, 12, 2026, 2}},
        {"a leap day's last hundredth",
         {133537247999900000ull, -330},
         TIME_OF_DAY_INFO{1709251199, quint32(133537247999900000ull / 10000), 23, 59, 59, 99, -330, 0, 29, 2, 2024, 4}},
        {"the last second 32 bits hold",
         {159394408959999999ull, -1},
         TIME_OF_DAY_INFO{0xFFFFFFFFu, quint32(159394408959999999ull / 10000), 6, 28, 15, 99, -1, 0, 7, 2, 2106, 0}},
        {"past it", {159394408960000000ull, -1}, std::nullopt},
        {"before 1970", {116444735999999999ull, -1}, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(timeOfDay(c.time), c.info) << c.what;
}

TEST(RemoteTimeTest, KeepsTheServersLocalTimeShiftedByTheWholeOffset)
{
    const struct {
        const char *what;
        TIME_OF_DAY_INFO info;
        int year, month, day, hours, mins;
        bool zoneKnown;
    } cases[] = {
        {"no zone: UTC, unshifted", reported(2024, 1, 31, 23, 30, 5, -1), 2024, 1, 31, 23, 30, false},
        {"an hour east, over the month's end", reported(2024, 1, 31, 23, 30, 5, -60), 2024, 2, 1, 0, 30, true},
        {"five hours west, back over a leap day", reported(2024, 3, 1, 0, 30, 5, 300), 2024, 2, 29, 19, 30, true},
        {"India: five and a half hours east", reported(2024, 6, 1, 12, 0, 5, -330), 2024, 6, 1, 17, 30, true},
        {"330 minutes west: not 5 hours only", reported(2024, 6, 1, 12, 0, 5, 330), 2024, 6, 1, 6, 30, true},
        {"Newfoundland, over the year's end", reported(2023, 12, 31, 23, 59, 5, -210), 2024, 1, 1, 3, 29, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TNTRemoteDateTime clock;
        ASSERT_EQ(clock.GetRemoteTime("WS1", NERR_Success, c.info), NERR_Success);
        const TNTRemoteDateTime::Fields &f = clock.fields();
        EXPECT_EQ(clock.Server(), "WS1");
        EXPECT_EQ((std::array{f.year, f.month, f.day, f.hours, f.mins}),
                  (std::array<quint32, 5>{quint32(c.year), quint32(c.month), quint32(c.day), quint32(c.hours),
                                          quint32(c.mins)}));
        // Seconds, hundredths and the weekday stay as received.
        EXPECT_EQ((std::array{f.secs, f.hunds, f.weekday}), (std::array<quint32, 3>{5, 42, 3}));
        EXPECT_EQ(f.zoneKnown, c.zoneKnown);
        EXPECT_EQ(f.timeZoneMinutes, c.zoneKnown ? c.info.tod_timezone : 0);
    }
}

TEST(RemoteTimeTest, AFailureOrAnImpossibleDateKeepsTheLastAnswer)
{
    TNTRemoteDateTime clock;
    ASSERT_EQ(clock.GetRemoteTime("WS1", NERR_Success, reported(2024, 6, 1, 12, 0, 5, -1)), NERR_Success);
    const TNTRemoteDateTime::Fields kept = clock.fields();

    EXPECT_EQ(clock.GetRemoteTime("WS2", ERROR_BAD_NETPATH, reported(2025, 1, 1, 1, 1, 1, 0)), ERROR_BAD_NETPATH);
    const struct {
        TIME_OF_DAY_INFO info;
        const char *error;
    } impossible[] = {
        {reported(2024, 13, 1, 12, 0, 0, -1), "Invalid argument to date encode"},
        {reported(2023, 2, 29, 12, 0, 0, -1), "Invalid argument to date encode"},
        {reported(2024, 6, 1, 24, 0, 0, -1), "Invalid argument to time encode"},
        {reported(2024, 6, 1, 12, 0, 60, -1), "Invalid argument to time encode"},
    };
    for (const auto &c : impossible) {
        try {
            clock.GetRemoteTime("WS3", NERR_Success, c.info);
            ADD_FAILURE() << "no error for " << c.error;
        } catch (const Exception &e) {
            EXPECT_EQ(e.message(), c.error);
        }
    }
    EXPECT_EQ(clock.fields(), kept);
    EXPECT_EQ(clock.Server(), "WS1");
}

TEST(RemoteTimeTest, DateTimeTextIsTheShortDateAndTheLongTimeWithoutAZone)
{
    TNTRemoteDateTime clock;
    clock.GetRemoteTime("WS1", NERR_Success, reported(2024, 2, 1, 13, 5, 9, -1, 4, 99));
    EXPECT_EQ(clock.DateTimeText(QLocale(QLocale::English, QLocale::UnitedStates)), "2/1/24 1:05:09 PM");
    EXPECT_EQ(clock.DateTimeText(QLocale(QLocale::German, QLocale::Germany)), "01.02.24 13:05:09");
}

TEST(RemoteTimeTest, TheExchangeSurvivesServersThatMisbehave)
{
    using Part = FakeSmbServer::Part;
    const QByteArray nt1 = capture("smb_negotiate", "nysrv-nt1.bin");
    const QByteArray smb2 = capture("smb_negotiate", "defsrv-smb2-offer.bin");
    QByteArray noDialect = nt1;
    noDialect.replace(4 + 33, 2, "\xFF\xFF");
    const struct {
        const char *what;
        QList<Part> parts;
        quint32 status;
        int zone;
        int connections;
    } cases[] = {
        {"an NT1 server", {{Part::Reply, nt1}}, NERR_Success, 300, 1},
        {"an answer a byte at a time", {{Part::Reply, nt1, true}}, NERR_Success, 300, 1},
        {"keep-alives before the answer",
         {{Part::Reply, QByteArray::fromHex("8500000085000000") + nt1}},
         NERR_Success,
         300,
         1},
        {"keep-alives a byte at a time",
         {{Part::Reply, QByteArray::fromHex("85000000") + nt1, true}},
         NERR_Success,
         300,
         1},
        {"nothing but keep-alives",
         {{Part::Reply, QByteArray::fromHex("85000000").repeated(4096)}},
         ERROR_SEM_TIMEOUT,
         0,
         1},
        {"a server that drops SMB1", {{Part::Close}, {Part::Reply, smb2}}, NERR_Success, -1, 2},
        {"a server that takes no SMB1 dialect", {{Part::Reply, noDialect}, {Part::Reply, smb2}}, NERR_Success, -1, 2},
        {"a server that drops both", {{Part::Close}, {Part::Close}}, ERROR_UNEXP_NET_ERR, 0, 2},
        {"a web server", {{Part::Reply, "HTTP/1.1 400 Bad Request\r\n\r\n"}}, ERROR_UNEXP_NET_ERR, 0, 1},
        {"16 MB announced", {{Part::Reply, QByteArray::fromHex("00ffffffff534d42")}}, ERROR_UNEXP_NET_ERR, 0, 1},
        {"a server that never answers", {{Part::Silent}}, ERROR_SEM_TIMEOUT, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FakeSmbServer server(c.parts);
        TIME_OF_DAY_INFO info;
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(readRemoteTime(server.endpoint(), info, Deadline(800ms)), c.status);
        EXPECT_LT(t.elapsed(), 1100);
        if (c.status == NERR_Success) {
            EXPECT_EQ(info.tod_timezone, c.zone);
        }
        const QList<QByteArray> requests = server.requests();
        ASSERT_EQ(requests.size(), c.connections);
        EXPECT_EQ(requests[0], smb::smb1NegotiateRequest());
        if (c.connections == 2) {
            EXPECT_TRUE(requests[1].sliced(4).startsWith("\xFESMB")) << "the second try is SMB2";
        }
    }
}

TEST(RemoteTimeTest, NoServerOrACancelEndsTheWaitAtOnce)
{
    // A port nobody listens on: refused at once.
    Endpoint closed;
    {
        FakeSmbServer server(QList<FakeSmbServer::Part>{});
        closed = server.endpoint();
    }
    TIME_OF_DAY_INFO info;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(readRemoteTime(closed, info, Deadline(3s)), ERROR_BAD_NETPATH);
    EXPECT_LT(t.elapsed(), 500);

    FakeSmbServer silent({FakeSmbServer::Part(FakeSmbServer::Part::Silent)});
    std::stop_source cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        cancel.request_stop();
    });
    t.restart();
    EXPECT_EQ(readRemoteTime(silent.endpoint(), info, Deadline(10s, cancel.get_token())), ERROR_SEM_TIMEOUT);
    EXPECT_LT(t.elapsed(), 500);
    canceller.join();
}

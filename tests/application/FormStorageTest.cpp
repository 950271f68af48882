#include "application/FormStorage.h"
#include "application/SettingsStore.h"
#include "base/Exception.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// Settings kept in memory; counts the writes.
class MemoryStore : public SettingsStore {
public:
    QMap<QString, QString> values;
    std::optional<QString> readFailure;
    int writes = 0;
    QStringList writtenOrder;

    QMap<QString, QString> read() override
    {
        if (readFailure)
            throw Exception(*readFailure);
        return values;
    }
    void write(const Values &v) override
    {
        ++writes;
        values.clear();
        writtenOrder.clear();
        for (const auto &[name, text] : v) {
            values.insert(name, text);
            writtenOrder << name;
        }
    }
};

ScreenFacts screen1024()
{
    ScreenFacts s;
    s.resolution = QSize(1024, 768);
    s.pixelsPerInch = 96;
    s.screens = {QRect(0, 0, 1024, 768)};
    return s;
}

FormSettings windowDefaults()
{
    FormSettings s;
    s.placement.normal = QRect(155, 132, 713, 504);
    return s;
}

} // namespace

TEST(FormStorage, FirstRunKeepsTheDefaultsAndThenStoresEveryValue)
{
    MemoryStore store;
    TFormStorage storage(store);
    FormSettings s = windowDefaults();
    const RestoreResult r = storage.restore(s, screen1024());
    EXPECT_FALSE(r.normal);
    EXPECT_TRUE(r.unreadable.isEmpty());
    EXPECT_TRUE(r.refused.isEmpty());
    EXPECT_TRUE(r.runRestoreEvent);
    EXPECT_EQ(std::tuple(s.echo.size, s.echo.timeoutMs, s.echo.ttl, s.echo.parallel, s.treeWidth, s.dns, s.lastFile),
              std::tuple(56, 4000, 64, EchoSettings{}.parallel, 185, QString("False"), QString()));

    ASSERT_TRUE(storage.save(s, screen1024(), true));
    EXPECT_EQ(store.writtenOrder, QStringList({"FormVersion",
                                               "Flags",
                                               "ShowCmd",
                                               "PixelsPerInch",
                                               "MinMaxPos(1024x768)",
                                               "MinMaxPos",
                                               "NormPos(1024x768)",
                                               "NormPos",
                                               "Visible",
                                               "Ping_Timeout",
                                               "Ping_Size",
                                               "Ping_TTL",
                                               "Ping_Parallel",
                                               "Probe_Ports",
                                               "Monitor_Interval",
                                               "twTree_Width",
                                               "DNS",
                                               "LastFile",
                                               "Monitor_Log",
                                               "Statistics_Columns"}));
    const QMap<QString, QString> expected = {{"FormVersion", "0"},
                                             {"Flags", "0"},
                                             {"ShowCmd", "1"},
                                             {"PixelsPerInch", "96"},
                                             {"MinMaxPos(1024x768)", "-1,-1,-1,-1"},
                                             {"MinMaxPos", "-1,-1,-1,-1"},
                                             {"NormPos(1024x768)", "155,132,868,636"},
                                             {"NormPos", "155,132,868,636"},
                                             {"Visible", "0"},
                                             {"Ping_Timeout", "4000"},
                                             {"Ping_Size", "56"},
                                             {"Ping_TTL", "64"},
                                             {"Ping_Parallel", "1024"},
                                             {"Probe_Ports", "445,139,3389,22,80,443"},
                                             {"Monitor_Interval", "30"},
                                             {"twTree_Width", "185"},
                                             {"DNS", "False"},
                                             {"LastFile", ""},
                                             {"Monitor_Log", ""},
                                             {"Statistics_Columns", "False"}};
    EXPECT_EQ(store.values, expected);
}

TEST(FormStorage, PlacementNamesAndRules)
{
    struct Case {
        const char *what;
        QMap<QString, QString> stored;
        ScreenFacts screen;
        std::optional<QRect> expected;
        bool moves;
    };
    ScreenFacts otherPpi = screen1024();
    otherPpi.pixelsPerInch = 120;
    ScreenFacts wayland = screen1024();
    wayland.canPlace = false;
    ScreenFacts twoScreens = screen1024();
    twoScreens.screens << QRect(1024, 0, 1280, 1024);
    const std::vector<Case> cases = {
        {"resolution's own name first",
         {{"NormPos(1024x768)", "10,20,510,420"}, {"NormPos", "1,2,301,202"}},
         screen1024(),
         QRect(10, 20, 500, 400),
         true},
        {"empty own name: the plain one",
         {{"NormPos(1024x768)", ""}, {"NormPos", "1,2,301,202"}},
         screen1024(),
         QRect(1, 2, 300, 200),
         true},
        {"another resolution's name is not used",
         {{"NormPos(1280x1024)", "10,20,510,420"}, {"NormPos", "1,2,301,202"}},
         screen1024(),
         QRect(1, 2, 300, 200),
         true},
        {"blanks and commas", {{"NormPos", " 1 ,2 301,, 202"}}, screen1024(), QRect(1, 2, 300, 200), true},
        {"missing parts keep the window's",
         {{"NormPos", "40,50"}},
         screen1024(),
         QRect(40, 50, 155 + 713 - 40, 132 + 504 - 50),
         true},
        {"same pixels per inch",
         {{"NormPos", "1,2,301,202"}, {"PixelsPerInch", "96"}},
         screen1024(),
         QRect(1, 2, 300, 200),
         true},
        {"other pixels per inch", {{"NormPos", "1,2,301,202"}, {"PixelsPerInch", "96"}}, otherPpi, std::nullopt, false},
        {"only MinMaxPos: the window's own rectangle",
         {{"MinMaxPos", "-1,-1,-1,-1"}},
         screen1024(),
         QRect(155, 132, 713, 504),
         true},
        {"no position texts", {{"Ping_Size", "8"}}, screen1024(), std::nullopt, false},
        {"left not below right", {{"NormPos", "300,2,300,202"}}, screen1024(), std::nullopt, false},
        {"wholly off the screens", {{"NormPos", "2000,100,2500,400"}}, screen1024(), std::nullopt, false},
        {"on a second screen", {{"NormPos", "2000,100,2500,400"}}, twoScreens, QRect(2000, 100, 500, 300), true},
        {"partly on screen", {{"NormPos", "-100,-50,200,300"}}, screen1024(), QRect(-100, -50, 300, 350), true},
        {"platform cannot place: size only", {{"NormPos", "1,2,301,202"}}, wayland, QRect(1, 2, 300, 200), false},
    };
    for (const Case &c : cases) {
        MemoryStore store;
        store.values = c.stored;
        TFormStorage storage(store);
        FormSettings s = windowDefaults();
        const RestoreResult r = storage.restore(s, c.screen);
        EXPECT_EQ(r.normal, c.expected) << c.what;
        EXPECT_EQ(r.movePosition, c.moves) << c.what;
        EXPECT_EQ(s.placement.normal, c.expected.value_or(QRect(155, 132, 713, 504))) << c.what;
    }
}

// A changed pixels-per-inch skips the placement only.
TEST(FormStorage, OtherPixelsPerInchStillRestoresTheRest)
{
    MemoryStore store;
    store.values = {{"NormPos", "1,2,301,202"},
                    {"PixelsPerInch", "144"},
                    {"Ping_Size", "128"},
                    {"DNS", "True"},
                    {"LastFile", "/x.lu"}};
    TFormStorage storage(store);
    FormSettings s = windowDefaults();
    const RestoreResult r = storage.restore(s, screen1024());
    EXPECT_FALSE(r.normal);
    EXPECT_EQ(s.echo.size, 128);
    EXPECT_EQ(s.dns, "True");
    EXPECT_EQ(s.lastFile, "/x.lu");
}

TEST(FormStorage, StoredProperties)
{
    struct Case {
        QMap<QString, QString> stored;
        int size, timeout, ttl, parallel, treeWidth;
        int refused;
    };
    const int n = EchoSettings{}.parallel;
    const std::vector<Case> cases = {
        {{}, 56, 4000, 64, n, 185, 0},
        {{{"Ping_Size", "abc"}}, 0, 4000, 64, n, 185, 0}, // not an integer: 0
        {{{"Ping_Size", ""}}, 0, 4000, 64, n, 185, 0},
        {{{"Ping_Size", " 1472 "},
          {"Ping_Timeout", "250"},
          {"Ping_TTL", "1"},
          {"Ping_Parallel", " 8 "},
          {"twTree_Width", "300"}},
         1472,
         250,
         1,
         8,
         300,
         0},
        {{{"Ping_Size", "0"}, {"Ping_Timeout", "0"}, {"Ping_TTL", "0"}, {"Ping_Parallel", "1"}}, 0, 0, 0, 1, 185, 0},
        {{{"Ping_Size", "65535"}, {"Ping_Timeout", "2147483647"}, {"Ping_TTL", "255"}, {"Ping_Parallel", "64"}},
         65535,
         2147483647,
         255,
         64,
         185,
         0},
        {{{"Ping_Size", "65536"}}, 56, 4000, 64, n, 185, 1},
        {{{"Ping_Size", "-1"}, {"Ping_TTL", "256"}, {"Ping_Timeout", "-5"}}, 56, 4000, 64, n, 185, 3},
        {{{"Ping_TTL", "-1"}}, 56, 4000, 64, n, 185, 1},
        {{{"Ping_Timeout", "99999999999"}}, 56, 4000, 64, n, 185, 1}, // too long for an integer: out of range
        {{{"Ping_Size", "-99999999999999999999999"}}, 56, 4000, 64, n, 185, 1},
        {{{"ping_size", "8"}, {"PING_PARALLEL", "2"}}, 8, 4000, 64, 2, 185, 0}, // names ignore case
        // At least one row in flight, at most 64; a text that is no number reads as 0.
        {{{"Ping_Parallel", "0"}}, 56, 4000, 64, n, 185, 1},
        {{{"Ping_Parallel", "4097"}}, 56, 4000, 64, n, 185, 1},
        {{{"Ping_Parallel", "many"}}, 56, 4000, 64, n, 185, 1},
        {{{"Ping_Parallel", "4294967297"}}, 56, 4000, 64, n, 185, 1},
    };
    for (const Case &c : cases) {
        MemoryStore store;
        store.values = c.stored;
        TFormStorage storage(store);
        FormSettings s = windowDefaults();
        const RestoreResult r = storage.restore(s, screen1024());
        const QString what = QStringList(c.stored.keys()).join(' ') + " = " + QStringList(c.stored.values()).join(' ');
        EXPECT_EQ(std::tuple(s.echo.size, s.echo.timeoutMs, s.echo.ttl, s.echo.parallel, s.treeWidth),
                  std::tuple(c.size, c.timeout, c.ttl, c.parallel, c.treeWidth))
            << what.toStdString();
        EXPECT_EQ(r.refused.size(), c.refused) << what.toStdString() << r.refused.join('|').toStdString();
    }
}

TEST(FormStorage, RefusedValueSaysWhatAndWhy)
{
    MemoryStore store;
    store.values = {{"Ping_TTL", "300"}, {"Ping_Parallel", "0"}};
    TFormStorage storage(store);
    FormSettings s = windowDefaults();
    const RestoreResult r = storage.restore(s, screen1024());
    EXPECT_EQ(
        r.refused,
        QStringList({"The time to live must be between 0 and 255, not 300 (stored value \"Ping_TTL\"); 64 is used",
                     "The number of simultaneous pings must be between 1 and 4096, not 0 (stored value "
                     "\"Ping_Parallel\"); 1024 is used"}));
}

TEST(FormStorage, NegativeVersionRestoresNothing)
{
    MemoryStore store;
    store.values = {{"FormVersion", "-1"}, {"Ping_Size", "8"}, {"NormPos", "1,2,301,202"}, {"LastFile", "/x.lu"}};
    TFormStorage storage(store);
    FormSettings s = windowDefaults();
    const RestoreResult r = storage.restore(s, screen1024());
    EXPECT_FALSE(r.runRestoreEvent);
    EXPECT_FALSE(r.normal);
    EXPECT_EQ(s.echo.size, 56);
    EXPECT_TRUE(s.lastFile.isEmpty());
    // Nor are they written over with defaults at close.
    EXPECT_FALSE(storage.save(s, screen1024(), true));
    EXPECT_EQ(store.writes, 0);
    EXPECT_EQ(store.values.value("Ping_Size"), "8");
}

TEST(FormStorage, RectanglesWiderThanAnIntAreNotUsed)
{
    for (const char *norm : {"-2147483648,0,2147483647,100", "0,-2147483648,100,2147483647", "0,0,20000000,100"}) {
        MemoryStore store;
        store.values = {{"NormPos", norm}, {"PixelsPerInch", "96"}};
        TFormStorage storage(store);
        FormSettings s = windowDefaults();
        const RestoreResult r = storage.restore(s, screen1024());
        EXPECT_FALSE(r.normal) << norm;
    }
}

TEST(FormStorage, SavesOnceAndOnlyAfterARestore)
{
    MemoryStore store;
    TFormStorage storage(store);
    EXPECT_FALSE(storage.save(windowDefaults(), screen1024(), true));
    EXPECT_EQ(store.writes, 0);
    FormSettings s = windowDefaults();
    storage.restore(s, screen1024());
    EXPECT_TRUE(storage.save(s, screen1024(), false));
    EXPECT_EQ(store.values.value("Visible"), "1");
    EXPECT_FALSE(storage.save(s, screen1024(), true));
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(store.values.value("Visible"), "1");
}

// Unreadable settings: defaults, one text for the user, and no write over them.
TEST(FormStorage, UnreadableSettingsAreNeverWrittenOver)
{
    MemoryStore store;
    store.readFailure = "The settings file /x/Lumeo.ini cannot be used: it holds binary data";
    TFormStorage storage(store);
    FormSettings s = windowDefaults();
    const RestoreResult r = storage.restore(s, screen1024());
    EXPECT_EQ(r.unreadable, "The settings file /x/Lumeo.ini cannot be used: it holds binary data. "
                            "The default settings apply, and the file is not changed.");
    EXPECT_EQ(s.echo.size, 56);
    EXPECT_FALSE(storage.save(s, screen1024(), true));
    EXPECT_EQ(store.writes, 0);
}

TEST(StoredValueConversion, TextToBool)
{
    const std::vector<std::pair<QString, bool>> good = {{"True", true},     {"false", false}, {"TRUE", true},
                                                        {" False ", false}, {"0", false},     {"1", true},
                                                        {"-1", true},       {"2.5", true}};
    for (const auto &[text, value] : good)
        EXPECT_EQ(textToBool(text), value) << text.toStdString();
    for (const QString text : {"", "yes", "Truee", "on"}) {
        try {
            textToBool(text);
            ADD_FAILURE() << text.toStdString() << ": converted";
        } catch (const Exception &e) {
            EXPECT_EQ(e.message(), "Could not convert variant of type (String) into type (Boolean)");
        }
    }
    EXPECT_EQ(boolToText(true), "True");
    EXPECT_EQ(boolToText(false), "False");
}

TEST(StoredValueConversion, FourIntegers)
{
    EXPECT_EQ(textToFour("1,2,3,4", {9, 9, 9, 9}), (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(textToFour("1,x,3", {9, 9, 9, 9}), (std::array<int, 4>{1, 9, 3, 9}));
    EXPECT_EQ(textToFour("", {0, 0, 0, 0}), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(fourToText({-1, 2, -3, 4}), "-1,2,-3,4");
}

TEST(FormStorage, ProbePortsAreAListOfPortsOrNothingAndAnythingElseIsRefused)
{
    const QList<quint16> defaults = EchoSettings{}.probePorts;
    const struct {
        QString stored;
        QList<quint16> ports;
        bool refused;
    } cases[] = {
        {"22", {22}, false},
        {" 22 , 80,443 ", {22, 80, 443}, false},
        {"65535,1", {65535, 1}, false},
        {"", {}, false}, // probing off
        {"  ", {}, false},
        {"0", defaults, true},
        {"65536", defaults, true},
        {"22,,80", defaults, true},
        {"22,22", defaults, true},
        {"22;80", defaults, true},
        {"+22", defaults, true},
        {"0x16", defaults, true},
        {"ssh", defaults, true},
    };
    for (const auto &c : cases) {
        MemoryStore store;
        store.values = {{"Probe_Ports", c.stored}};
        TFormStorage storage(store);
        FormSettings s;
        const RestoreResult r = storage.restore(s, screen1024());
        EXPECT_EQ(s.echo.probePorts, c.ports) << c.stored.toStdString();
        ASSERT_EQ(r.refused.size(), c.refused ? 1 : 0) << c.stored.toStdString();
        if (c.refused) {
            EXPECT_TRUE(r.refused[0].startsWith("The probe ports must be a list of port numbers from 1 to 65535 "
                                                "separated by commas"))
                << r.refused[0].toStdString();
        }
    }
    // Written back as they read.
    EXPECT_EQ(EchoLimits::probePortsText({445, 22}), "445,22");
    EXPECT_EQ(EchoLimits::parseProbePorts(EchoLimits::probePortsText(defaults)), defaults);
}

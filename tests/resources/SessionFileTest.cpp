#include "resources/SessionFile.h"
#include "base/Elide.h"
#include "resources/ResourceList.h"
#include "resources/SessionList.h"
#include "support/Permissions.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

TEST(SessionFormat, AddedRowIsWrittenAsTheDocumentedLine)
{
    const ResourceRow row = ResourceRow::created("PC17", "10.0.0.7", "OFFICE");
    EXPECT_EQ(SessionFile::lineOf(row), "0,,PC17,10.0.0.7,OFFICE,<not tested>,,");
    EXPECT_EQ(SessionFile::format({row, row}),
              "0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n");
}

TEST(SessionFormat, ParsesFieldsAndKeepsBlanks)
{
    const auto p = SessionFile::parse("6,cap, PC 1 ,10.0.0.1,WG,Received 56 bytes in 1 ms,1/2/2026 9:00:00 AM,\r\n");
    ASSERT_TRUE(p.error.isEmpty());
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].imageIndex, 6);
    EXPECT_EQ(p.rows[0].caption, "cap");
    EXPECT_EQ(p.rows[0].subItems,
              QStringList({" PC 1 ", "10.0.0.1", "WG", "Received 56 bytes in 1 ms", "1/2/2026 9:00:00 AM"}));
    EXPECT_TRUE(p.rows[0].checked);
}

TEST(SessionFormat, ShortLongAndOddLines)
{
    const auto p =
        SessionFile::parse("5,x\n\nno comma here\n3,,A,B,\n0,,PC1,10.0.0.1,10.0.0.2,WG,<not tested>,,\n7\n1,,a,b,tail");
    ASSERT_EQ(p.rows.size(), 4u);
    EXPECT_EQ(p.rows[0].imageIndex, 5); // the text after the last comma is lost
    EXPECT_EQ(p.rows[0].caption, "");
    EXPECT_TRUE(p.rows[0].subItems.isEmpty());
    EXPECT_EQ(p.rows[1].subItems, QStringList({"A", "B"}));
    // Several addresses joined by commas push the later cells to the right.
    EXPECT_EQ(p.rows[2].subItems, QStringList({"PC1", "10.0.0.1", "10.0.0.2", "WG", "<not tested>", ""}));
    EXPECT_EQ(p.rows[3].subItems, QStringList({"a", "b"}));
}

TEST(SessionFormat, LineEndingsAndNul)
{
    const auto lf = SessionFile::parse("0,,A,\n0,,B,\n");
    const auto cr = SessionFile::parse("0,,A,\r0,,B,\r");
    const auto mixed = SessionFile::parse("0,,A,\r\n\r\n0,,B,");
    for (const auto *p : {&lf, &cr, &mixed}) {
        ASSERT_EQ(p->rows.size(), 2u);
        EXPECT_EQ(p->rows[1].subItems, QStringList({"B"}));
    }
}

TEST(SessionFormat, BadImageIndexStopsWithTheRowsSoFarAndOneEmptyRow)
{
    const auto p = SessionFile::parse("0,,A,\r\nx1,,B,\r\n0,,C,\r\n");
    EXPECT_EQ(p.error, "'x1' is not a valid integer value");
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.rows[0].subItems, QStringList({"A"}));
    EXPECT_EQ(p.rows[1].imageIndex, 0);
    EXPECT_TRUE(p.rows[1].subItems.isEmpty());
    EXPECT_EQ(SessionFile::parse(",,A,\r\n").error, "'' is not a valid integer value");
}

TEST(SessionFormat, IntegerFieldReadsLikeTheOlderProgram)
{
    int v = 0;
    EXPECT_TRUE(SessionFile::parseInteger(u" 7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(SessionFile::parseInteger(u"-1", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(SessionFile::parseInteger(u"$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(SessionFile::parseInteger(u"0x10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(SessionFile::parseInteger(u"2147483647", v));
    EXPECT_TRUE(SessionFile::parseInteger(u"-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    for (const char *bad : {"", " ", "7 ", "+", "2147483648", "99999999999999999999", "1.0", "$", "0x", "$G"})
        EXPECT_FALSE(SessionFile::parseInteger(QString::fromLatin1(bad), v)) << bad;
}

class SessionFiles : public TemporaryFiles {};

std::vector<ResourceRow> someRows(int count)
{
    std::vector<ResourceRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(
            ResourceRow::created("HOST" + QString::number(i), "10.0.0." + QString::number(i % 256), "OFFICE"));
    return rows;
}

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

TEST_F(SessionFiles, RoundTripIsByteForByte)
{
    const QByteArray original =
        "0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n6,, s p ,10.0.0.8,,Received 56 bytes in 0 ms,12/8/26 1:02:03 AM,\r\n"
        "5,x,A,\r\n"
        + QString::fromUtf8("0,,Bücher,ÉCOLE,\r\n").toUtf8();
    writeBytes(path("a.lu"), original);
    ResourceList list;
    const SessionLoad load = LoadFromSessionFile(path("a.lu"), list);
    EXPECT_TRUE(load.complete);
    EXPECT_TRUE(load.error.isEmpty());
    EXPECT_EQ(list.count(), 4);
    SaveToSessionFile(path("b.lu"), list, load.encoding);
    EXPECT_EQ(readBytes(path("b.lu")), original);
}

// Each encoding a session file comes in reads to the same rows and writes
// back byte for byte in the same encoding.
TEST_F(SessionFiles, EveryEncodingReadsAndWritesBackAsItCame)
{
    const QString text = QString::fromUtf8("0,,Café,10.0.0.1,Büro €,<not tested>,,\r\n6,,PC2,10.0.0.2,WG,ok,,\r\n");
    const struct {
        const char *name;
        QByteArray bytes;
        TextEncoding encoding;
    } cases[] = {
        {"UTF-8", text.toUtf8(), TextEncoding::Utf8},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), TextEncoding::Utf8WithBom},
        {"Windows-1252", "0,,Caf\xE9,10.0.0.1,B\xFCro \x80,<not tested>,,\r\n6,,PC2,10.0.0.2,WG,ok,,\r\n",
         TextEncoding::Windows1252},
        {"Windows-1252 behind a UTF-8 mark",
         "\xEF\xBB\xBF"
         "0,,Caf\xE9,10.0.0.1,B\xFCro \x80,<not tested>,,\r\n6,,PC2,10.0.0.2,WG,ok,,\r\n",
         TextEncoding::Windows1252WithBom},
        {"UTF-16 LE", utf16(text, true), TextEncoding::Utf16Le},
        {"UTF-16 BE", utf16(text, false), TextEncoding::Utf16Be},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path("in.lu"), c.bytes);
        ResourceList list;
        const SessionLoad load = LoadFromSessionFile(path("in.lu"), list);
        EXPECT_EQ(load.error, "");
        EXPECT_TRUE(load.complete);
        EXPECT_EQ(load.encoding, c.encoding);
        ASSERT_EQ(list.count(), 2);
        EXPECT_EQ(list.row(0).subItem(siResource), QString::fromUtf8("Café"));
        EXPECT_EQ(list.row(0).subItem(siWorkgroup), QString::fromUtf8("Büro €"));
        EXPECT_EQ(list.row(1).imageIndex, 6);
        EXPECT_EQ(SaveToSessionFile(path("out.lu"), list, load.encoding), c.encoding);
        EXPECT_EQ(readBytes(path("out.lu")), c.bytes);
    }
}

// Found by fuzzing: an older file whose only bytes that are not UTF-8 sit
// where reading drops them (behind a line's last comma) is written back as
// bytes that are valid UTF-8, and "Ã©" came back as "é".
TEST_F(SessionFiles, AnOlderFileWrittenBackReadsAsTheSameText)
{
    writeBytes(path("old.lu"), "0,,\xC3\xA9,\xFF\r\n");
    ResourceList list;
    const SessionLoad load = LoadFromSessionFile(path("old.lu"), list);
    ASSERT_EQ(load.encoding, TextEncoding::Windows1252);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0).subItem(0), QString::fromUtf8("Ã©"));
    EXPECT_EQ(SaveToSessionFile(path("old.lu"), list, load.encoding), TextEncoding::Utf8);
    LoadFromSessionFile(path("old.lu"), list);
    EXPECT_EQ(list.row(0).subItem(0), QString::fromUtf8("Ã©"));
}

TEST_F(SessionFiles, MissingFileEmptiesTheListSilently)
{
    ResourceList list;
    list.append(ResourceRow::created("x", "", ""));
    const SessionLoad load = LoadFromSessionFile(path("none.lu"), list);
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(load.complete);
    EXPECT_EQ(load.error, "");
    EXPECT_EQ(load.notice, "");
}

// What is not a regular file is refused at once with the reason, never
// waited on: a pipe nobody writes to would keep the window blocked.
TEST_F(SessionFiles, WhatIsNotARegularFileIsRefusedWithoutWaiting)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.lu")).constData(), 0600), 0);
    QDir(dir.path()).mkdir("folder.lu");
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(path("socket.lu"));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);

    const struct {
        QString file;
        QString cause;
    } cases[] = {
        {path("pipe.lu"), "not a regular file"},
        {path("socket.lu"), "not a regular file"},
        {"/dev/null", "not a regular file"},
        {path("folder.lu"), "is a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        ResourceList list;
        list.append(ResourceRow::created("x", "", ""));
        auto load = std::async(std::launch::async, [&] { return LoadFromSessionFile(c.file, list); });
        if (load.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << "still blocked after 5 s";
            // A writer that comes and goes gives the blocked reader its end.
            const int writer = open(QFile::encodeName(c.file).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                close(writer);
        }
        const SessionLoad result = load.get();
        EXPECT_EQ(result.error, "Cannot open file " + c.file + ", " + c.cause);
        EXPECT_FALSE(result.complete);
        EXPECT_EQ(list.count(), 0);
    }
    close(sock);
}

TEST_F(SessionFiles, AFileWithoutReadPermissionSaysSo)
{
    writeBytes(path("secret.lu"), "0,,A,\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(path("secret.lu")).constData(), 0), 0);
    WithoutPermissionOverride asOwner;
    if (!asOwner.active())
        GTEST_SKIP() << "cannot drop the permission override";
    ResourceList list;
    const SessionLoad load = LoadFromSessionFile(path("secret.lu"), list);
    EXPECT_EQ(load.error, "Cannot open file " + path("secret.lu") + ", permission denied");
    EXPECT_FALSE(load.complete);
    EXPECT_EQ(list.count(), 0);
}

// A NUL byte ends the text as it always has, but the load says so and where,
// so that the rest of the file is not lost by a save without warning.
TEST_F(SessionFiles, ANulByteEndsTheTextAndIsReported)
{
    const struct {
        const char *name;
        QByteArray bytes;
        int rows;
        const char *notice; // empty: read to the end
        const char *error;
    } cases[] = {
        {"after two lines",
         QByteArray("0,,A,\r\n0,,B,\r\n\0"
                    "0,,C,\r\n",
                    21),
         2, "A NUL byte on line 3 ends the text; the rest of the file was not read", ""},
        {"inside a line", QByteArray("0,,A,\r\n0,,B,\0,C,\r\n", 18), 2,
         "A NUL byte on line 2 ends the text; the rest of the file was not read", ""},
        {"first byte",
         QByteArray("\0"
                    "0,,A,\r\n",
                    8),
         0, "A NUL byte on line 1 ends the text; the rest of the file was not read", ""},
        {"UTF-16 NUL character", utf16(QStringLiteral("0,,A,\n0,,B,\n") + QChar(0) + QStringLiteral("0,,C,\n"), true),
         2, "A NUL byte on line 3 ends the text; the rest of the file was not read", ""},
        {"none", "0,,A,\r\n0,,B,\r\n", 2, "", ""},
        // Reading stopped at the bad line: the NUL was never reached.
        {"behind a bad line", QByteArray("0,,A,\r\nx,,B,\r\n\0", 15), 2, "", "'x' is not a valid integer value"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path("nul.lu"), c.bytes);
        ResourceList list;
        const SessionLoad load = LoadFromSessionFile(path("nul.lu"), list);
        EXPECT_EQ(list.count(), c.rows);
        EXPECT_EQ(load.notice, c.notice);
        EXPECT_EQ(load.error, c.error);
        EXPECT_EQ(load.complete, *c.notice == 0 && *c.error == 0);
    }
}

TEST_F(SessionFiles, ABadLineKeepsTheRowsBeforeItAndSaysTheLoadIsIncomplete)
{
    writeBytes(path("bad.lu"), "0,,A,\r\nzz,,B,\r\n0,,C,\r\n");
    ResourceList list;
    const SessionLoad load = LoadFromSessionFile(path("bad.lu"), list);
    EXPECT_EQ(load.error, "'zz' is not a valid integer value");
    EXPECT_FALSE(load.complete);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.row(0).subItem(0), "A");
    EXPECT_TRUE(list.row(1).subItems.isEmpty());
}

// A line of nothing but commas used to take about thirty times its size in
// memory. A line's fields, a file's fields and a file's size are bounded,
// each stopping the reading with the line it stopped at.
TEST(SessionLimits, ALineOrAFileBeyondItsBoundStopsReadingThere)
{
    const QString fields256 = "0," + QString(255, QLatin1Char(','));
    const QString fields257 = "0," + QString(256, QLatin1Char(','));
    SessionFile::Limits small;
    small.fieldsPerFile = 10;
    const struct {
        const char *name;
        QString text;
        SessionFile::Limits limits;
        size_t rows;
        QString error;
    } cases[] = {
        {"256 fields", "0,,A,\r\n" + fields256 + "\r\n", {}, 2, ""},
        {"257 fields", "0,,A,\r\n" + fields257 + "\r\n0,,B,\r\n", {}, 1, "Line 2 has more than 256 fields"},
        {"257 fields after empty lines", "\n\n\n" + fields257, {}, 0, "Line 4 has more than 256 fields"},
        {"exactly the file's fields", "0,,A,B,C,\r\n0,,D,E,F,\r\n", small, 2, ""},
        {"one field more", "0,,A,B,C,\r\n0,,D,E,F,\r\n\r\n0,\r\n", small, 2, "Line 4 takes the list past 10 fields"},
        {"short rows count two each", "5,x\n5,x\n5,x\n5,x\n5,x\n5,x\n", small, 5,
         "Line 6 takes the list past 10 fields"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const SessionFile::Parsed p = SessionFile::parse(c.text, c.limits);
        EXPECT_EQ(p.rows.size(), c.rows);
        EXPECT_EQ(p.error, c.error);
    }
}

TEST_F(SessionFiles, TheFieldBoundOfAFileHoldsAtItsRealSize)
{
    // 8000 lines of 250 fields are exactly the two million a file may have.
    const QByteArray line = "0," + QByteArray(249, ',') + "\r\n";
    QByteArray bytes;
    bytes.reserve(line.size() * 8001);
    for (int i = 0; i < 8001; ++i)
        bytes += line;
    writeBytes(path("many.lu"), bytes);
    ResourceList list;
    const SessionLoad load = LoadFromSessionFile(path("many.lu"), list);
    EXPECT_EQ(load.error, "Line 8001 takes the list past 2000000 fields");
    EXPECT_FALSE(load.complete);
    EXPECT_EQ(list.count(), 8000);
}

TEST_F(SessionFiles, AFileLargerThanTheBoundIsNotRead)
{
    const qint64 limit = 64 * 1024 * 1024;
    for (const qint64 size : {limit, limit + 1}) {
        SCOPED_TRACE(size);
        QFile f(path("large %1.lu"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(f.write(QByteArray("0,,A,\r\n\0", 8)) == 8 && f.resize(size)); // sparse: takes no disk
        f.close();
        ResourceList list;
        const SessionLoad load = LoadFromSessionFile(path("large %1.lu"), list);
        EXPECT_FALSE(load.complete);
        if (size > limit) {
            EXPECT_EQ(load.error, "File " + path("large %1.lu") + " is larger than 64 MB");
            EXPECT_EQ(list.count(), 0);
        } else {
            EXPECT_EQ(load.error, "");
            EXPECT_EQ(list.count(), 1);
        }
    }
}

TEST(Elided, LongValuesKeepTheirFirstSixtyCharacters)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    const struct {
        QString value;
        QString shown;
    } cases[] = {
        {"", ""},
        {QString(60, 'a'), QString(60, 'a')},
        {QString(61, 'a'), QString(60, 'a') + "..."},
        {QString(1000000, '7') + "x", QString(60, '7') + "..."},
        // A pair is kept whole or not at all.
        {QString(59, 'a') + emoji + "b", QString(59, 'a') + "..."},
        {QString(58, 'a') + emoji + "b", QString(58, 'a') + emoji + "..."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(elided(c.value), c.shown) << c.value.size();
}

TEST(SessionFormat, AValueInAnErrorIsShortened)
{
    const auto p = SessionFile::parse("0,,A,\r\n" + QString(1000000, QLatin1Char('x')) + ",,B,\r\n");
    EXPECT_EQ(p.error, "'" + QString(60, QLatin1Char('x')) + "...' is not a valid integer value");
    EXPECT_EQ(p.rows.size(), 2u);
}

TEST_F(SessionFiles, EmptyListWritesNothingAndLeavesAnOldFileAlone)
{
    ResourceList list;
    SaveToSessionFile(path("new.lu"), list, TextEncoding::Utf8);
    EXPECT_FALSE(QFile::exists(path("new.lu")));
    writeBytes(path("old.lu"), "0,,keep,\r\n");
    SaveToSessionFile(path("old.lu"), list, TextEncoding::Utf8);
    EXPECT_EQ(readBytes(path("old.lu")), "0,,keep,\r\n");
}

TEST_F(SessionFiles, LoadingSortsWithTheCurrentSort)
{
    writeBytes(path("s.lu"), "0,,b,\r\n0,,c,\r\n0,,a,\r\n");
    ResourceList list;
    LoadFromSessionFile(path("s.lu"), list);
    EXPECT_EQ(list.row(0).subItem(0), "b"); // no column chosen: file order
    list.columnClicked(ResourceList::colResource);
    LoadFromSessionFile(path("s.lu"), list);
    EXPECT_EQ(list.row(0).subItem(0), "a");
    EXPECT_EQ(list.row(2).subItem(0), "c");
}

TEST_F(SessionFiles, HundredThousandLinesLoadQuickly)
{
    QByteArray big;
    for (int i = 0; i < 100000; ++i)
        big += "0,,HOST" + QByteArray::number(i) + ",10.0." + QByteArray::number(i / 256 % 256) + "."
               + QByteArray::number(i % 256) + ",WG,<not tested>,,\r\n";
    writeBytes(path("big.lu"), big);
    ResourceList list;
    QElapsedTimer t;
    t.start();
    const SessionLoad load = LoadFromSessionFile(path("big.lu"), list);
    EXPECT_LT(t.elapsed(), 5000); // sanitizer builds included
    EXPECT_TRUE(load.complete);
    EXPECT_EQ(list.count(), 100000);
    EXPECT_EQ(list.row(99999).subItem(siResource), "HOST99999");
}

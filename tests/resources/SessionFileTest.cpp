#include "base/Exception.h"
#include "resources/ResourceList.h"
#include "resources/SessionFile.h"
#include "resources/SessionList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString messageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.message();
    }
    return QString();
}

} // namespace

TEST(SessionFormat, AddedRowIsWrittenAsTheDocumentedLine)
{
    const ResourceRow row = ResourceRow::created("PC17", "10.0.0.7", "OFFICE");
    EXPECT_EQ(SessionFile::lineOf(row), "0,,PC17,10.0.0.7,OFFICE,<not tested>,,");
    EXPECT_EQ(SessionFile::format({row, row}), "0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n");
}

TEST(SessionFormat, ParsesFieldsAndKeepsBlanks)
{
    const auto p = SessionFile::parse("6,cap, PC 1 ,10.0.0.1,WG,Received 56 bytes in 1 ms,1/2/2026 9:00:00 AM,\r\n");
    ASSERT_TRUE(p.error.isEmpty());
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].imageIndex, 6);
    EXPECT_EQ(p.rows[0].caption, "cap");
    EXPECT_EQ(p.rows[0].subItems, QStringList({" PC 1 ", "10.0.0.1", "WG", "Received 56 bytes in 1 ms", "1/2/2026 9:00:00 AM"}));
    EXPECT_TRUE(p.rows[0].checked);
}

TEST(SessionFormat, ShortLongAndOddLines)
{
    const auto p = SessionFile::parse("5,x\n\nno comma here\n3,,A,B,\n0,,PC1,10.0.0.1,10.0.0.2,WG,<not tested>,,\n7\n1,,a,b,tail");
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
    EXPECT_TRUE(SessionFile::parseInteger(" 7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(SessionFile::parseInteger("-1", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(SessionFile::parseInteger("$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(SessionFile::parseInteger("0x10", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(SessionFile::parseInteger("2147483647", v));
    EXPECT_TRUE(SessionFile::parseInteger("-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    for (const char *bad : {"", " ", "7 ", "+", "2147483648", "99999999999999999999", "1.0", "$", "0x", "$G"})
        EXPECT_FALSE(SessionFile::parseInteger(QString::fromLatin1(bad), v)) << bad;
}

class SessionFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(SessionFiles, RoundTripIsByteForByte)
{
    const QByteArray original = "0,,PC17,10.0.0.7,OFFICE,<not tested>,,\r\n6,, s p ,10.0.0.8,,Received 56 bytes in 0 ms,12/8/26 1:02:03 AM,\r\n"
                                "5,x,A,\r\n" + QString::fromUtf8("0,,Bücher,ÉCOLE,\r\n").toUtf8();
    writeBytes(path("a.lu"), original);
    ResourceList list;
    TextEncoding enc = TextEncoding::Utf8;
    LoadFromSessionFile(path("a.lu"), list, enc);
    EXPECT_EQ(list.count(), 4);
    SaveToSessionFile(path("b.lu"), list, enc);
    EXPECT_EQ(readBytes(path("b.lu")), original);
}

TEST_F(SessionFiles, OlderWindows1252FilesAreWrittenBackInTheirEncoding)
{
    const QByteArray original = "0,,Caf\xE9,10.0.0.1,B\xFC" "ro \x80,<not tested>,,\r\n";
    writeBytes(path("old.lu"), original);
    ResourceList list;
    TextEncoding enc = TextEncoding::Utf8;
    LoadFromSessionFile(path("old.lu"), list, enc);
    EXPECT_EQ(enc, TextEncoding::Windows1252);
    EXPECT_EQ(list.row(0).subItem(siResource), QString::fromUtf8("Café"));
    EXPECT_EQ(list.row(0).subItem(siWorkgroup), QString::fromUtf8("Büro €"));
    EXPECT_EQ(SaveToSessionFile(path("old.lu"), list, enc), TextEncoding::Windows1252);
    EXPECT_EQ(readBytes(path("old.lu")), original);
}

TEST_F(SessionFiles, MissingFileEmptiesTheListSilently)
{
    ResourceList list;
    list.append(ResourceRow::created("x", "", ""));
    TextEncoding enc = TextEncoding::Utf8;
    LoadFromSessionFile(path("none.lu"), list, enc);
    EXPECT_EQ(list.count(), 0);
}

TEST_F(SessionFiles, UnreadableFileLeavesTheListEmpty)
{
    QDir(dir.path()).mkdir("folder.lu");
    ResourceList list;
    list.append(ResourceRow::created("x", "", ""));
    TextEncoding enc = TextEncoding::Utf8;
    EXPECT_EQ(messageOf([&] { LoadFromSessionFile(path("folder.lu"), list, enc); }), "Cannot open file " + path("folder.lu"));
    EXPECT_EQ(list.count(), 0);
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

TEST_F(SessionFiles, AFailedWriteReportsAndKeepsTheOldFile)
{
    ResourceList list;
    list.append(ResourceRow::created("x", "", ""));
    const QString target = path("missing-dir/a.lu");
    EXPECT_EQ(messageOf([&] { SaveToSessionFile(target, list, TextEncoding::Utf8); }), "Cannot create file " + target);
    // A directory in the way of the file: nothing is destroyed.
    QDir(dir.path()).mkdir("taken.lu");
    writeBytes(path("taken.lu/inner"), "data");
    EXPECT_FALSE(messageOf([&] { SaveToSessionFile(path("taken.lu"), list, TextEncoding::Utf8); }).isEmpty());
    EXPECT_EQ(readBytes(path("taken.lu/inner")), "data");
}

TEST_F(SessionFiles, LoadingSortsWithTheCurrentSort)
{
    writeBytes(path("s.lu"), "0,,b,\r\n0,,c,\r\n0,,a,\r\n");
    ResourceList list;
    TextEncoding enc = TextEncoding::Utf8;
    LoadFromSessionFile(path("s.lu"), list, enc);
    EXPECT_EQ(list.row(0).subItem(0), "b"); // no column chosen: file order
    list.columnClicked(ResourceList::colResource);
    LoadFromSessionFile(path("s.lu"), list, enc);
    EXPECT_EQ(list.row(0).subItem(0), "a");
    EXPECT_EQ(list.row(2).subItem(0), "c");
}

TEST_F(SessionFiles, HundredThousandLinesLoadQuickly)
{
    QByteArray big;
    for (int i = 0; i < 100000; ++i)
        big += "0,,HOST" + QByteArray::number(i) + ",10.0." + QByteArray::number(i / 256 % 256) + "." + QByteArray::number(i % 256) + ",WG,<not tested>,,\r\n";
    writeBytes(path("big.lu"), big);
    ResourceList list;
    TextEncoding enc = TextEncoding::Utf8;
    QElapsedTimer t;
    t.start();
    LoadFromSessionFile(path("big.lu"), list, enc);
    EXPECT_LT(t.elapsed(), 5000); // sanitizer builds included
    EXPECT_EQ(list.count(), 100000);
    EXPECT_EQ(list.row(99999).subItem(siResource), "HOST99999");
}

#include "sysinfo/VersionInfo.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <optional>

namespace {

// A small ELF image: the null section, the section names and one section
// of the given name and bytes. Tests spoil it field by field.
struct ElfLayout {
    bool is64 = true;
    bool bigEndian = false;
    QByteArray name = kVersionSectionName;
    QByteArray bytes;
    std::uint32_t type = 1; // SHT_PROGBITS
    std::uint64_t offsetShift = 0;
    std::uint64_t sizeShift = 0;
    std::uint32_t nameOffsetShift = 0;
    std::uint16_t shentsize = 0;             // 0: the proper size
    std::optional<std::uint16_t> shnum{};    // the proper count
    std::optional<std::uint16_t> shstrndx{}; // the names' index
};

QByteArray elfImage(const ElfLayout &s)
{
    QByteArray out;
    auto put = [&](std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            out.append(char(value >> (8 * (s.bigEndian ? size - 1 - i : i))));
    };
    const int word = s.is64 ? 8 : 4, headerSize = s.is64 ? 64 : 52, entrySize = s.is64 ? 64 : 40;
    const QByteArray names = QByteArray("\0.shstrtab\0", 11) + s.name + '\0';
    const std::uint64_t namesAt = std::uint64_t(headerSize), dataAt = namesAt + std::uint64_t(names.size());
    const std::uint64_t sectionsAt = dataAt + std::uint64_t(s.bytes.size());

    out.append("\x7f"
               "ELF",
               4);
    out.append(char(s.is64 ? 2 : 1));
    out.append(char(s.bigEndian ? 2 : 1));
    out.append(char(1));
    out.append(QByteArray(9, '\0'));
    put(2, 2);    // e_type: executable
    put(62, 2);   // e_machine
    put(1, 4);    // e_version
    put(0, word); // e_entry
    put(0, word); // e_phoff
    put(sectionsAt, word);
    put(0, 4); // e_flags
    put(std::uint64_t(headerSize), 2);
    put(0, 2); // e_phentsize
    put(0, 2); // e_phnum
    put(s.shentsize ? s.shentsize : std::uint64_t(entrySize), 2);
    put(s.shnum.value_or(3), 2);
    put(s.shstrndx.value_or(1), 2);
    out += names;
    out += s.bytes;
    auto section = [&](std::uint32_t nameAt, std::uint32_t type, std::uint64_t at, std::uint64_t size) {
        const qsizetype start = out.size();
        put(nameAt, 4);
        put(type, 4);
        put(0, word); // flags
        put(0, word); // address
        put(at, word);
        put(size, word);
        put(0, 4); // link
        put(0, 4); // info
        put(1, word);
        put(0, word);
        EXPECT_EQ(out.size() - start, entrySize);
    };
    section(0, 0, 0, 0);
    section(1, 3, namesAt, std::uint64_t(names.size()));
    section(11 + s.nameOffsetShift, s.type, dataAt + s.offsetShift, std::uint64_t(s.bytes.size()) + s.sizeShift);
    return out;
}

QByteArray record(const QList<std::pair<const char *, const char *>> &entries)
{
    QByteArray r(kVersionRecordMagic, sizeof kVersionRecordMagic);
    for (const auto &[path, value] : entries)
        r += QByteArray(path) + '\0' + QByteArray(value) + '\0';
    return r;
}

const QByteArray kRecord = record({{"\\", "5.0.0.300"},
                                   {"\\VarFileInfo\\Translation", "0409:04E4"},
                                   {"\\StringFileInfo\\040904E4\\ProductName", "Lumeo"},
                                   {"\\StringFileInfo\\040904E4\\CompanyName", "Korvell"}});

} // namespace

TEST(VersionInfo, TheProgramsOwnRecord)
{
    TVersionInfo v;
    ASSERT_TRUE(GetVersionInfo(QStringLiteral(LUMEO_EXECUTABLE), v));
    EXPECT_EQ(v.FileName, LUMEO_EXECUTABLE);
    EXPECT_EQ(v.FileVersion, "5.0.0.300");
    EXPECT_EQ(std::make_tuple(v.Major, v.Minor, v.Release, v.Build), std::make_tuple(5, 0, 0, 300));
    EXPECT_EQ(v.ProductName, "Lumeo");
    EXPECT_EQ(v.CompanyName, "Korvell");
    EXPECT_EQ(v.FileDescription, "Network scanning tool");
    EXPECT_EQ(v.Comments, "Win 9x, Me, NT4, 2K, XP compatible");
    EXPECT_TRUE(v.LegalCopyright.contains("Korvell"));
}

TEST_F(TemporaryFiles, VersionInfoOfFilesWithoutARecord)
{
    writeBytes(path("empty"), QByteArray());
    writeBytes(path("text"), "Lumeo session\n");
    writeBytes(path("other-section"), elfImage({.name = ".comment", .bytes = kRecord}));
    writeBytes(path("no-magic"), elfImage({.bytes = kRecord.mid(4)}));
    const QString files[] = {QCoreApplication::applicationFilePath(),
                             path("missing"),
                             path("empty"),
                             path("text"),
                             path("other-section"),
                             path("no-magic")};
    for (const QString &file : files) {
        TVersionInfo v;
        v.ProductName = "left over";
        EXPECT_FALSE(GetVersionInfo(file, v)) << file.toStdString();
        EXPECT_EQ(v.FileName, file);
        EXPECT_TRUE(v.ProductName.isEmpty() && v.FileVersion.isEmpty());
        EXPECT_EQ(v.Build, 0);
    }
}

TEST(VersionInfo, SectionsOfEveryLayoutAndNoneOfDamagedImages)
{
    struct Case {
        const char *what;
        ElfLayout layout;
        bool found;
    };
    const Case cases[] = {
        {"64-bit little-endian", {.bytes = kRecord}, true},
        {"32-bit big-endian", {.is64 = false, .bigEndian = true, .bytes = kRecord}, true},
        {"a section without bytes in the file", {.bytes = kRecord, .type = 8}, false},
        {"bytes past the end", {.bytes = kRecord, .sizeShift = 4096}, false},
        {"an offset past the end", {.bytes = kRecord, .offsetShift = 1u << 20}, false},
        {"a size near 2^64", {.bytes = kRecord, .sizeShift = std::uint64_t(1) << 63}, false},
        {"a name past the names", {.bytes = kRecord, .nameOffsetShift = 4000}, false},
        {"names' index out of range", {.bytes = kRecord, .shstrndx = 7}, false},
        {"section headers too small", {.bytes = kRecord, .shentsize = 8}, false},
        {"more sections than the file has", {.bytes = kRecord, .shnum = 900}, true},
        {"no sections", {.bytes = kRecord, .shnum = 0}, false},
    };
    for (const Case &c : cases) {
        const QByteArray image = elfImage(c.layout);
        EXPECT_EQ(elfSection(image, kVersionSectionName), c.found ? kRecord : QByteArray()) << c.what;
        // Every cut of the image is refused or read within its bounds.
        for (qsizetype cut = 0; cut < image.size(); cut += 7)
            (void)elfSection(image.left(cut), kVersionSectionName);
    }
    EXPECT_TRUE(elfSection(QByteArray("\x7f"
                                      "ELF\x03\x01",
                                      6)
                               + QByteArray(64, '\0'),
                           kVersionSectionName)
                    .isEmpty());
}

TEST_F(TemporaryFiles, VersionRecordContents)
{
    struct Case {
        const char *what;
        QByteArray record;
        const char *fileVersion;
        const char *productName;
    };
    const Case cases[] = {
        {"complete", kRecord, "5.0.0.300", "Lumeo"},
        {"the translation's hexadecimal in any case",
         record({{"\\", "5.0.0.300"},
                 {"\\VarFileInfo\\Translation", "409:4e4"},
                 {"\\StringFileInfo\\040904E4\\ProductName", "Lumeo"}}),
         "5.0.0.300", "Lumeo"},
        {"the first translation selects the table",
         record({{"\\", "1.2.3.4"},
                 {"\\VarFileInfo\\Translation", "0407:04B0 0409:04E4"},
                 {"\\StringFileInfo\\040904E4\\ProductName", "Lumeo"}}),
         "1.2.3.4", ""},
        {"no translation", record({{"\\", "05.00.00.0300"}, {"\\StringFileInfo\\040904E4\\ProductName", "Lumeo"}}),
         "5.0.0.300", ""},
        {"no file version: nothing else is read",
         record({{"\\VarFileInfo\\Translation", "0409:04E4"}, {"\\StringFileInfo\\040904E4\\ProductName", "Lumeo"}}),
         "", ""},
        {"a part above 65535", record({{"\\", "5.0.0.65536"}}), "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path("program"), elfImage({.bytes = c.record}));
        TVersionInfo v;
        EXPECT_TRUE(GetVersionInfo(path("program"), v));
        EXPECT_EQ(v.FileVersion, c.fileVersion);
        EXPECT_EQ(v.ProductName, c.productName);
    }
}

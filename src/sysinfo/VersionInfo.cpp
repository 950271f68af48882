#include "sysinfo/VersionInfo.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace {

// Reads integers of one ELF image in its byte order, refusing any read
// that would leave the image.
class ElfReader {
public:
    ElfReader(const QByteArray &image, bool bigEndian) : m_image(image), m_bigEndian(bigEndian) {}

    std::optional<std::uint64_t> read(std::uint64_t offset, int size) const
    {
        if (offset > std::uint64_t(m_image.size()) || std::uint64_t(m_image.size()) - offset < std::uint64_t(size))
            return std::nullopt;
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint64_t byte = std::uint8_t(m_image[qsizetype(offset) + (m_bigEndian ? i : size - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }

private:
    const QByteArray &m_image;
    bool m_bigEndian;
};

// Where the fields of the file header and of a section header lie, for
// 32-bit and 64-bit images.
struct ElfLayout {
    int shoff, shoffSize, shentsize, shnum, shstrndx;
    int nameOff, typeOff, offsetOff, sizeOff, linkOff, wordSize, headerSize;
};
constexpr ElfLayout kElf32{0x20, 4, 0x2E, 0x30, 0x32, 0, 4, 16, 20, 24, 4, 40};
constexpr ElfLayout kElf64{0x28, 8, 0x3A, 0x3C, 0x3E, 0, 4, 24, 32, 40, 8, 64};

constexpr std::uint64_t kNoBits = 8;           // SHT_NOBITS: no bytes in the file
constexpr std::uint64_t kIndexEscape = 0xFFFF; // SHN_XINDEX

const QByteArray &recordMagic()
{
    static const QByteArray magic(kVersionRecordMagic, sizeof kVersionRecordMagic); // with its NUL
    return magic;
}

// The version record's texts by path.
QHash<QString, QString> recordEntries(const QByteArray &section)
{
    QHash<QString, QString> entries;
    const QList<QByteArray> texts = section.mid(recordMagic().size()).split('\0');
    for (qsizetype i = 0; i + 1 < texts.size(); i += 2)
        if (!texts[i].isEmpty())
            entries.insert(QString::fromUtf8(texts[i]), QString::fromUtf8(texts[i + 1]));
    return entries;
}

// The four 16-bit numbers of "a.b.c.d".
std::optional<std::array<int, 4>> versionNumbers(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> n{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint v = parts[i].trimmed().toUInt(&ok);
        if (!ok || v > 0xFFFF)
            return std::nullopt;
        n[std::size_t(i)] = int(v);
    }
    return n;
}

// The name of the string table the first translation selects; empty when
// there is none.
QString stringTableKey(const QString &translations)
{
    const QStringList first = translations.trimmed().section(QLatin1Char(' '), 0, 0).split(QLatin1Char(':'));
    if (first.size() != 2)
        return QString();
    bool okLanguage = false, okCodePage = false;
    const uint language = first[0].toUInt(&okLanguage, 16), codePage = first[1].toUInt(&okCodePage, 16);
    if (!okLanguage || !okCodePage || language > 0xFFFF || codePage > 0xFFFF)
        return QString();
    return QStringLiteral("%1%2")
        .arg(language, 4, 16, QLatin1Char('0'))
        .arg(codePage, 4, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

QByteArray elfSection(const QByteArray &image, const char *name)
{
    if (image.size() < 16
        || !image.startsWith("\x7f"
                             "ELF"))
        return QByteArray();
    const char elfClass = image[4], data = image[5];
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2))
        return QByteArray();
    const ElfLayout &l = elfClass == 2 ? kElf64 : kElf32;
    const ElfReader r(image, data == 2);

    const auto shoff = r.read(l.shoff, l.shoffSize);
    const auto shentsize = r.read(l.shentsize, 2);
    auto shnum = r.read(l.shnum, 2);
    auto shstrndx = r.read(l.shstrndx, 2);
    if (!shoff || !shentsize || !shnum || !shstrndx || *shoff == 0 || *shentsize < std::uint64_t(l.headerSize))
        return QByteArray();
    auto header = [&](std::uint64_t index, int fieldOffset, int size) -> std::optional<std::uint64_t> {
        if (index > 0xFFFFFFFFu)
            return std::nullopt;
        return r.read(*shoff + index * *shentsize + std::uint64_t(fieldOffset), size);
    };
    // Many sections: the real counts are kept in section 0.
    if (*shnum == 0)
        shnum = header(0, l.sizeOff, l.wordSize);
    if (shstrndx && *shstrndx == kIndexEscape)
        shstrndx = header(0, l.linkOff, 4);
    if (!shnum || !shstrndx || *shstrndx >= *shnum)
        return QByteArray();

    const auto namesOffset = header(*shstrndx, l.offsetOff, l.wordSize);
    const auto namesSize = header(*shstrndx, l.sizeOff, l.wordSize);
    if (!namesOffset || !namesSize || *namesOffset > std::uint64_t(image.size())
        || std::uint64_t(image.size()) - *namesOffset < *namesSize)
        return QByteArray();
    const QByteArray names = QByteArray::fromRawData(image.constData() + *namesOffset, qsizetype(*namesSize));
    const QByteArray wanted(name);

    for (std::uint64_t i = 0; i < *shnum; ++i) {
        const auto nameAt = header(i, l.nameOff, 4);
        if (!nameAt)
            return QByteArray();
        if (*nameAt >= std::uint64_t(names.size()))
            continue;
        const qsizetype end = names.indexOf('\0', qsizetype(*nameAt));
        if (end < 0 || names.mid(qsizetype(*nameAt), end - qsizetype(*nameAt)) != wanted)
            continue;
        const auto type = header(i, l.typeOff, 4);
        const auto offset = header(i, l.offsetOff, l.wordSize);
        const auto size = header(i, l.sizeOff, l.wordSize);
        if (!type || !offset || !size || *type == kNoBits || *offset > std::uint64_t(image.size())
            || std::uint64_t(image.size()) - *offset < *size)
            return QByteArray();
        return QByteArray(image.constData() + *offset, qsizetype(*size)); // a copy: the image may be mapped
    }
    return QByteArray();
}

bool GetVersionInfo(const QString &fileName, TVersionInfo &info)
{
    info = TVersionInfo();
    info.FileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return false;
    // Mapped, not read: the executable may be large and only a few of its
    // pages are looked at.
    uchar *mapped = file.map(0, file.size());
    if (!mapped)
        return false;
    const QByteArray image = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(file.size()));
    const QByteArray section = elfSection(image, kVersionSectionName);
    file.unmap(mapped);
    if (!section.startsWith(recordMagic()))
        return false;

    const QHash<QString, QString> entries = recordEntries(section);
    const auto version = versionNumbers(entries.value(QStringLiteral("\\")));
    if (!version)
        return true; // a record without its fixed part: nothing more can be found
    info.Major = (*version)[0];
    info.Minor = (*version)[1];
    info.Release = (*version)[2];
    info.Build = (*version)[3];
    info.FileVersion = QStringLiteral("%1.%2.%3.%4").arg(info.Major).arg(info.Minor).arg(info.Release).arg(info.Build);

    const QString table = QStringLiteral("\\StringFileInfo\\")
                          + stringTableKey(entries.value(QStringLiteral("\\VarFileInfo\\Translation")))
                          + QLatin1Char('\\');
    info.FileDescription = entries.value(table + QStringLiteral("FileDescription"));
    info.LegalCopyright = entries.value(table + QStringLiteral("LegalCopyright"));
    info.Comments = entries.value(table + QStringLiteral("Comments"));
    info.ProductName = entries.value(table + QStringLiteral("ProductName"));
    info.CompanyName = entries.value(table + QStringLiteral("CompanyName"));
    return true;
}

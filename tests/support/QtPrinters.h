#pragma once

// How a failed check shows the Qt values it compares: as quoted text, with
// line breaks, control characters and lone surrogates written as escapes,
// instead of a dump of the bytes or code units. Every test source gets this
// header ahead of its own includes (see tests/CMakeLists.txt), so that a
// type prints the same way in every file of a test program.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <ostream>
#include <string>

namespace lumeo_test_printing {

inline void appendEscaped(std::string &out, char32_t c)
{
    switch (c) {
    case U'"':
        out += "\\\"";
        return;
    case U'\\':
        out += "\\\\";
        return;
    case U'\r':
        out += "\\r";
        return;
    case U'\n':
        out += "\\n";
        return;
    case U'\t':
        out += "\\t";
        return;
    default:
        break;
    }
    char escape[16];
    if (c < 0x20 || c == 0x7F) {
        std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(c));
        out += escape;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(c)); // half a pair: no character
        out += escape;
    } else {
        out += QString::fromUcs4(&c, 1).toStdString();
    }
}

} // namespace lumeo_test_printing

inline void PrintTo(const QString &text, std::ostream *os)
{
    std::string out = "\"";
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            lumeo_test_printing::appendEscaped(out, QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            lumeo_test_printing::appendEscaped(out, c.unicode());
        }
    }
    *os << out << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            *os << ", ";
        PrintTo(list[i], os);
    }
    *os << '}';
}

inline void PrintTo(QChar c, std::ostream *os)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X ", unsigned(c.unicode()));
    *os << code;
    PrintTo(QString(c), os);
}

// Bytes as a C string would write them: printable ASCII as it is, every
// other byte as \xNN.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    std::string out = "\"";
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0x80) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(b));
            out += escape;
        } else {
            lumeo_test_printing::appendEscaped(out, b);
        }
    }
    *os << out << '"' << " (" << bytes.size() << " bytes)";
}

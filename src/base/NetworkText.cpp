#include "base/NetworkText.h"

namespace {

bool unsafe(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == u',' || u == 0x2028 || u == 0x2029;
}

} // namespace

QString cleanNetworkText(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out)
        if (unsafe(c))
            c = kNetworkTextReplacement;
    return out;
}

bool isCleanNetworkText(QStringView text)
{
    for (const QChar c : text)
        if (unsafe(c))
            return false;
    return true;
}

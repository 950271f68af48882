#include "base/SystemError.h"

#include <cstring>

namespace {

// strerror_r comes in two forms. The GNU one returns the text, which need
// not be in the buffer; the POSIX one fills the buffer and returns 0.
[[maybe_unused]] const char *textOf(const char *result, const char *) { return result; }
[[maybe_unused]] const char *textOf(int result, const char *buffer) { return result == 0 ? buffer : nullptr; }

} // namespace

QString systemErrorText(int error, SystemTextCase textCase)
{
    char buffer[256] = {};
    const char *text = textOf(::strerror_r(error, buffer, sizeof buffer), buffer);
    QString out = text ? QString::fromLocal8Bit(text) : QStringLiteral("Unknown error %1").arg(error);
    if (textCase == SystemTextCase::LowerFirst && !out.isEmpty())
        out[0] = out[0].toLower();
    return out;
}

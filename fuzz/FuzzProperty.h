#pragma once

// What every fuzz target does when a property it checks does not hold: says
// which, and aborts, so that libFuzzer keeps the input.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fail(const char *property)
{
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

// The text of the first RelatesTo element in XML, found by plain search, so
// that a fuzzer's input that names its own message gets past the header.
inline QString relatesToIn(const QByteArray &xml)
{
    const qsizetype start = xml.indexOf("RelatesTo>");
    const qsizetype end = start < 0 ? -1 : xml.indexOf('<', start);
    return end < 0 ? QString() : QString::fromUtf8(xml.sliced(start + 10, end - start - 10)).trimmed();
}

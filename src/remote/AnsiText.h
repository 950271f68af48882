#pragma once

#include <QByteArray>
#include <QString>

// Text as the messenger shows it: one byte per character in Windows-1252,
// the code page of Western Windows installations and the one the session
// files use. The text is composed first (a letter typed with a combining
// accent becomes one character when the code page has it); each character
// the code page lacks, a pair of surrogates included, becomes one "?".
QByteArray toAnsi(const QString &text);

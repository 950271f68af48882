#pragma once

// The locales the list's cell texts are read and compared in.

#include "resources/CellText.h"

#include <QLocale>

// The formats of the United States and of Germany: the order of day and
// month, and "," and "." with their roles swapped. Made once per program.
inline const LocaleFormats &us()
{
    static const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return f;
}

inline const LocaleFormats &german()
{
    static const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    return f;
}

// Locales where "." is the thousands separator (de_DE, it_IT, pt_BR, nl_NL,
// tr_TR, da_DK, id_ID), the date separator (de_DE, fi_FI, ru_RU, tr_TR,
// da_DK) or the time separator (fi_FI, da_DK, id_ID, en_FI, si_LK), and two
// where it is none of these: where a dotted address could pass for a number
// or a date.
inline const char *const dottedLocales[] = {"de_DE", "fi_FI", "it_IT", "pt_BR", "en_US", "C",    "da_DK",
                                            "id_ID", "en_FI", "si_LK", "nl_NL", "tr_TR", "ru_RU"};

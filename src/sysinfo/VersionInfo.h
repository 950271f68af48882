#pragma once

#include <QByteArray>
#include <QString>

// A program's version record: the four numbers of its file version and
// the texts of its string table.
struct TVersionInfo {
    QString FileName;
    QString FileVersion; // "5.0.0.300"
    QString ProductName;
    QString CompanyName;
    QString FileDescription;
    QString Comments;
    QString LegalCopyright;
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;
};

// The record lives in an ELF section of that name in the executable. It
// holds kVersionRecordMagic and then NUL-terminated UTF-8 texts in pairs, a
// path and its value:
//   "\"                            the file version, "5.0.0.300"
//   "\VarFileInfo\Translation"     language:code-page pairs in hexadecimal,
//                                  blank-separated, such as "0409:04E4"
//   "\StringFileInfo\<language><code page>\<name>"   one string-table text
// A string table is found through the first translation, its eight
// upper-case hexadecimal digits naming it ("040904E4").
inline constexpr char kVersionSectionName[] = ".lumeo.version";
inline constexpr char kVersionRecordMagic[] = "LUMEO-VERSION-1";

// Fills `info` from the version record of an executable and returns true;
// false (with only FileName set) when the file cannot be read, is no ELF
// file or has no record.
bool GetVersionInfo(const QString &fileName, TVersionInfo &info);

// The bytes of the section of that name in an ELF image; empty when there
// is none or the image is damaged.
QByteArray elfSection(const QByteArray &image, const char *name);

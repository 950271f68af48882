#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// How the helper program lumeo-smb tells what libsmbclient found: one
// line per name, a tag, a blank and the name in UTF-8, percent-encoded so
// that no name can break a line. Shared by the helper and its reader.
namespace SmbAnswer {

constexpr char kWorkgroup = 'W'; // a workgroup of the browse list
constexpr char kServer = 'C';    // a server in the workgroup named last
constexpr char kShare = 'S';     // a share of the computer asked about

// The helper's two questions, as its first argument.
inline const QString kBrowseList = QStringLiteral("browse");
inline const QString kShares = QStringLiteral("shares"); // the computer follows

inline QByteArray line(char tag, const QString &name)
{
    return QByteArray(1, tag) + ' ' + QUrl::toPercentEncoding(name) + '\n';
}

} // namespace SmbAnswer

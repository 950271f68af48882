#pragma once

#include "base/Deadline.h"
#include "discovery/HelperProcess.h"
#include "discovery/NetworkSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What libsmbclient tells about the network. The library is not loaded
// into this program: a helper program of ours, lumeo-smb, is started for
// each question and killed when the question is no longer wanted. Names
// are never cached: each question asks the network again.
namespace SmbClient {

// The helper: $LUMEO_SMB_HELPER where set, else the first of
// helperCandidates() of the running program that is there.
QString helperPath();
// Where the helper of the program at PROGRAMPATH may be: beside it (a
// build), in libexec/lumeo beside its bin folder (installed under any
// prefix), and where this build installs it.
QStringList helperCandidates(const QString &programPath);

// The workgroups a master browser knows and the servers each one's master
// browser lists, asked with SMB1 (NT1) and nothing newer, since browse
// lists exist only there. The helper starts when this is made, so that the
// question runs while the caller does other work.
class BrowseList {
public:
    BrowseList();
    // The list, or an empty one where there is no master browser, the
    // helper failed, or DEADLINE passed first.
    NetworkSnapshot take(const Deadline &deadline);

private:
    HelperProcess m_helper;
};

// The disk and printer shares COMPUTER (a name or a dotted address) lists
// to a guest over SMB2 or SMB3, hidden ones left out; empty where it lists
// none or DEADLINE passes first.
QStringList shares(const QString &computer, const Deadline &deadline);

// The helper's answers read back; lines that are no answer are skipped.
NetworkSnapshot readBrowseList(const QByteArray &answer);
QStringList readShares(const QByteArray &answer);

} // namespace SmbClient

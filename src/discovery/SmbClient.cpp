#include "discovery/SmbClient.h"

#include "discovery/SmbAnswer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

namespace SmbClient {

namespace {

constexpr qsizetype kMaxAnswer = 4 * 1024 * 1024;

// The answer's lines with the given tags, as (tag, name).
QList<std::pair<char, QString>> readLines(const QByteArray &answer)
{
    QList<std::pair<char, QString>> out;
    for (const QByteArrayView line : answer.split('\n')) {
        if (line.size() < 2 || line[1] != ' ')
            continue;
        out.append({line[0], QString::fromUtf8(QByteArray::fromPercentEncoding(line.sliced(2).toByteArray()))});
    }
    return out;
}

} // namespace

QStringList helperCandidates(const QString &programPath)
{
    const QString dir = QFileInfo(programPath).absolutePath();
    return {dir + QStringLiteral("/lumeo-smb"), QDir::cleanPath(dir + QStringLiteral("/../libexec/lumeo/lumeo-smb")),
            QStringLiteral(LUMEO_LIBEXEC_DIR "/lumeo-smb")};
}

QString helperPath()
{
    const QString override = qEnvironmentVariable("LUMEO_SMB_HELPER");
    if (!override.isEmpty())
        return override;
    const QStringList candidates = helperCandidates(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return candidates.last();
}

BrowseList::BrowseList() : m_helper(helperPath(), {SmbAnswer::kBrowseList}) {}

NetworkSnapshot BrowseList::take(const Deadline &deadline)
{
    const auto answer = m_helper.output(deadline, kMaxAnswer);
    return answer ? readBrowseList(*answer) : NetworkSnapshot();
}

QStringList shares(const QString &computer, const Deadline &deadline)
{
    HelperProcess helper(helperPath(), {SmbAnswer::kShares, computer});
    const auto answer = helper.output(deadline, kMaxAnswer);
    return answer ? readShares(*answer) : QStringList();
}

NetworkSnapshot readBrowseList(const QByteArray &answer)
{
    NetworkSnapshot out;
    for (const auto &[tag, name] : readLines(answer)) {
        if (tag == SmbAnswer::kWorkgroup)
            out.append(SnapshotWorkgroup{name, {}});
        else if (tag == SmbAnswer::kServer && !out.isEmpty())
            out.back().computers.append(SnapshotComputer{name, QString()});
    }
    return out;
}

QStringList readShares(const QByteArray &answer)
{
    QStringList out;
    for (const auto &[tag, name] : readLines(answer))
        if (tag == SmbAnswer::kShare)
            out.append(name);
    return out;
}

} // namespace SmbClient

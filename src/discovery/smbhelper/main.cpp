// lumeo-smb: asks libsmbclient one question and writes the answer to its
// standard output (see discovery/SmbAnswer.h), then ends. Lumeo starts it
// for each question, so that the library never loads into the window's
// process, and kills it when the answer is no longer wanted.
//
//   lumeo-smb browse          the workgroups and servers of the browse list
//   lumeo-smb shares COMPUTER the shares COMPUTER lists to a guest

#include "discovery/SmbAnswer.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <libsmbclient.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 2000;
constexpr int kMaxWorkgroups = 64;
constexpr int kMaxServers = 1024;

// A guest without a name or a password.
void anonymous(SMBCCTX *, const char *, const char *, char *, int, char *username, int userLength, char *password,
               int passwordLength)
{
    if (userLength > 0)
        username[0] = '\0';
    if (passwordLength > 0)
        password[0] = '\0';
}

// Settings of our own on top of the machine's smb.conf: no name cache, and
// the library's caches and locks in a folder of this process.
class PrivateConfig {
public:
    PrivateConfig()
    {
        if (!m_dir.isValid())
            return;
        const QByteArray d = QFile::encodeName(m_dir.path());
        QFile f(m_dir.filePath(QStringLiteral("smb.conf")));
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write("[global]\nname cache timeout = 0\nlog level = 0\n");
        for (const char *key : {"cache directory", "lock directory", "state directory", "private dir", "ncalrpc dir"})
            f.write(QByteArray(key) + " = " + d + "\n");
        m_path = QFile::encodeName(f.fileName());
    }
    const QByteArray &path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};

// One libsmbclient context, freed with everything it opened.
class Context {
public:
    Context(const PrivateConfig &config, const char *minProtocol, const char *maxProtocol) : m_ctx(smbc_new_context())
    {
        if (!m_ctx)
            return;
        smbc_setDebug(m_ctx, 0);
        smbc_setTimeout(m_ctx, kTimeoutMs);
        smbc_setOptionUseKerberos(m_ctx, false);
        smbc_setOptionFallbackAfterKerberos(m_ctx, true);
        smbc_setOptionNoAutoAnonymousLogin(m_ctx, false);
        smbc_setFunctionAuthDataWithContext(m_ctx, anonymous);
        if (!smbc_init_context(m_ctx)) {
            smbc_free_context(m_ctx, 1);
            m_ctx = nullptr;
            return;
        }
        if (!config.path().isEmpty())
            smbc_setConfiguration(m_ctx, config.path().constData());
        smbc_setOptionProtocols(m_ctx, minProtocol, maxProtocol);
    }
    ~Context()
    {
        if (m_ctx)
            smbc_free_context(m_ctx, 1);
    }
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    // The names of a folder URL's entries of the given kinds; empty where
    // it cannot be opened.
    QStringList names(const QByteArray &url, std::initializer_list<unsigned int> kinds, int limit) const
    {
        QStringList out;
        if (!m_ctx)
            return out;
        SMBCFILE *dir = smbc_getFunctionOpendir(m_ctx)(m_ctx, url.constData());
        if (!dir)
            return out;
        while (out.size() < limit) {
            const smbc_dirent *e = smbc_getFunctionReaddir(m_ctx)(m_ctx, dir);
            if (!e)
                break;
            if (std::find(kinds.begin(), kinds.end(), e->smbc_type) != kinds.end())
                // Through a pointer: the array is declared with one element.
                out.append(QString::fromUtf8(static_cast<const char *>(e->name)));
        }
        smbc_getFunctionClosedir(m_ctx)(m_ctx, dir);
        return out;
    }

private:
    SMBCCTX *m_ctx;
};

// A URL part: everything but letters and digits percent-encoded.
QByteArray urlPart(const QString &name) { return QUrl::toPercentEncoding(name); }

// Each line goes out as soon as it is known.
void put(char tag, const QString &name)
{
    const QByteArray line = SmbAnswer::line(tag, name);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void browseList(const PrivateConfig &config)
{
    const Context smb(config, "NT1", "NT1");
    for (const QString &workgroup : smb.names("smb://", {SMBC_WORKGROUP}, kMaxWorkgroups)) {
        put(SmbAnswer::kWorkgroup, workgroup);
        const QByteArray url = "smb://" + urlPart(workgroup) + "/";
        for (const QString &server : smb.names(url, {SMBC_SERVER}, kMaxServers))
            put(SmbAnswer::kServer, server);
    }
}

void shares(const PrivateConfig &config, const QString &computer)
{
    const Context smb(config, "SMB2_02", "SMB3");
    for (const QString &share :
         smb.names("smb://" + urlPart(computer) + "/", {SMBC_FILE_SHARE, SMBC_PRINTER_SHARE}, kMaxServers))
        if (!share.endsWith(QLatin1Char('$')))
            put(SmbAnswer::kShare, share);
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList args = [&] {
        QStringList out;
        for (int i = 1; i < argc; ++i)
            out << QString::fromUtf8(argv[i]);
        return out;
    }();
    int status = 0;
    {
        const PrivateConfig config;
        if (args.size() == 1 && args[0] == SmbAnswer::kBrowseList)
            browseList(config);
        else if (args.size() == 2 && args[0] == SmbAnswer::kShares)
            shares(config, args[1]);
        else {
            std::fprintf(stderr, "usage: lumeo-smb browse | lumeo-smb shares COMPUTER\n");
            status = 2;
        }
    }
    std::fflush(stdout);
    // The library keeps state of its own to the end, which is not worth
    // tearing down (nor reporting as a leak): the answer is out.
    ::_exit(status);
}

#include "discovery/SmbClient.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <libsmbclient.h>

#include <algorithm>
#include <memory>

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

// One libsmbclient context for one task, freed with everything it opened.
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

// Made by the client's thread when it starts, used only there.
const PrivateConfig *g_config = nullptr;

// A URL part: everything but letters and digits percent-encoded.
QByteArray urlPart(const QString &name) { return QUrl::toPercentEncoding(name); }

} // namespace

SmbClient &SmbClient::instance()
{
    static SmbClient client;
    return client;
}

SmbClient::SmbClient() : m_thread([this] { run(); }) {}

SmbClient::~SmbClient()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SmbClient::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SmbClient::run()
{
    const PrivateConfig config;
    g_config = &config;
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            // At exit the questions still waiting are dropped: whoever waits
            // for them learns that they were never answered.
            if (m_stopping)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
    g_config = nullptr;
}

std::future<NetworkSnapshot> SmbClient::browseList()
{
    auto task = std::make_shared<std::packaged_task<NetworkSnapshot()>>([] {
        NetworkSnapshot out;
        const Context smb(*g_config, "NT1", "NT1");
        for (const QString &workgroup : smb.names("smb://", {SMBC_WORKGROUP}, kMaxWorkgroups)) {
            SnapshotWorkgroup w{workgroup, {}};
            const QByteArray url = "smb://" + urlPart(workgroup) + "/";
            for (const QString &server : smb.names(url, {SMBC_SERVER}, kMaxServers))
                w.computers.append(SnapshotComputer{server, QString()});
            out.append(w);
        }
        return out;
    });
    post([task] { (*task)(); });
    return task->get_future();
}

std::future<QStringList> SmbClient::shares(const QString &computer)
{
    auto task = std::make_shared<std::packaged_task<QStringList()>>([computer] {
        const Context smb(*g_config, "SMB2_02", "SMB3");
        QStringList out;
        for (const QString &share :
             smb.names("smb://" + urlPart(computer) + "/", {SMBC_FILE_SHARE, SMBC_PRINTER_SHARE}, kMaxServers))
            if (!share.endsWith(QLatin1Char('$')))
                out.append(share);
        return out;
    });
    post([task] { (*task)(); });
    return task->get_future();
}

#include "discovery/HelperProcess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

HelperProcess::HelperProcess(const QString &program, const QStringList &args)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString &a : args)
        argBytes.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, argBytes.front().constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (failed != 0) {
        ::close(pipeFds[0]);
        return;
    }
    m_pid = pid;
    m_out = pipeFds[0];
}

HelperProcess::~HelperProcess() { kill(); }

void HelperProcess::kill()
{
    if (m_out >= 0) {
        ::close(m_out);
        m_out = -1;
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

std::optional<QByteArray> HelperProcess::output(const Deadline &deadline, qsizetype max)
{
    if (!started())
        return std::nullopt;
    QByteArray out;
    char buffer[4096];
    for (;;) {
        if (deadline.passed()) {
            kill();
            return std::nullopt;
        }
        pollfd p{m_out, POLLIN, 0};
        const int ready = ::poll(&p, 1, deadline.waitMs());
        if (ready < 0 && errno != EINTR) {
            kill();
            return std::nullopt;
        }
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            kill();
            return std::nullopt;
        }
        if (n == 0)
            break; // the program closed its output: it is ending
        out.append(buffer, n);
        if (out.size() > max) {
            kill();
            return std::nullopt;
        }
    }
    ::close(m_out);
    m_out = -1;
    // It has closed its output; waiting for its end is short, but bounded
    // all the same.
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
            break;
        if (done < 0 && errno != EINTR) {
            m_pid = -1;
            return std::nullopt;
        }
        if (deadline.passed()) {
            kill();
            return std::nullopt;
        }
        ::poll(nullptr, 0, 5);
    }
    m_pid = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

#pragma once

#include "base/Deadline.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

// A program of ours started for one question, whose whole answer is what
// it writes to its standard output before it ends. It runs apart from the
// window's process, so that a library it loads neither slows the program's
// start nor takes the program down when it crashes, and a wait for it can
// always be cut short: it is killed.
class HelperProcess {
public:
    // Starts PROGRAM with ARGS; its input and error output are /dev/null.
    // started() says whether it runs.
    HelperProcess(const QString &program, const QStringList &args);
    // Kills the program if it still runs, and reaps it.
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    bool started() const { return m_pid > 0; }

    // Reads the output until the program ends. Nothing when it did not
    // start, wrote more than MAX bytes, ended other than with status 0, or
    // had not ended when DEADLINE passed or was stopped (it is then killed).
    std::optional<QByteArray> output(const Deadline &deadline, qsizetype max);

private:
    void kill();

    pid_t m_pid = -1;
    int m_out = -1;
};

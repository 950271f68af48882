#pragma once

#include "base/FileDescriptor.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace cli {

// SIGINT and SIGTERM as a Qt signal in the event loop. A handler may do
// next to nothing, so it writes the signal's number into a pipe that the
// loop watches. While an object of this class lives, the two signals no
// longer end the process; when it goes, their default returns.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

signals:
    // SIGNAL (SIGINT or SIGTERM) arrived; COUNT is how many so far.
    void received(int signal, int count);

private:
    void readPipe();

    FileDescriptor m_read;
    FileDescriptor m_write;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_count = 0;
};

} // namespace cli

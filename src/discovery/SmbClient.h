#pragma once

#include "discovery/NetworkSnapshot.h"

#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

// What libsmbclient tells about the network. The library keeps process-wide
// state, so every call of it runs on the one thread of the one instance,
// one after another; callers get futures. Names are never cached: each
// call asks the network again.
class SmbClient {
public:
    static SmbClient &instance();
    ~SmbClient();
    SmbClient(const SmbClient &) = delete;
    SmbClient &operator=(const SmbClient &) = delete;

    // The workgroups a master browser knows and the servers each one's
    // master browser lists. Browse lists exist only where SMB1 is spoken:
    // this asks with SMB1 (NT1) and nothing newer. Empty where there is no
    // master browser; at most a few dozen workgroups.
    std::future<NetworkSnapshot> browseList();
    // The disk and printer shares a computer (a name or a dotted address)
    // lists to a guest over SMB2 or SMB3, hidden ones left out; empty where
    // it lists none.
    std::future<QStringList> shares(const QString &computer);

private:
    SmbClient();
    void post(std::function<void()> job);
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

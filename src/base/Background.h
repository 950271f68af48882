#pragma once

#include "base/Liveness.h"

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <stop_token>
#include <utility>

// The one way the program waits for something that blocks (the network, a
// helper program, the system's resolver): the work runs on a thread of the
// pool, never on the window's, and its result comes back to the owner's
// thread through the owner's event loop. Nothing waits in a loop of its own.
//
// The owner keeps a Background as a member. When the owner goes away (or
// calls stop()), every job still running is asked to stop through its stop
// token and whatever it still delivers is dropped. Work must therefore
// watch its token in every wait (see Deadline), so that the program can end
// at once.
class Background {
public:
    // Results are delivered on OWNER's thread, while OWNER exists.
    explicit Background(QObject *owner) : m_owner(owner) {}
    ~Background() { stop(); }
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;

    // Runs WORK(stop token) on the pool; DONE(result) then runs on the
    // owner's thread unless stop() came first.
    template <typename Work, typename Done>
    void run(Work work, Done done)
    {
        QThreadPool::globalInstance()->start([work = std::move(work), done = std::move(done),
                                              guard = m_liveness->guard(), owner = m_owner,
                                              token = m_stop.get_token()]() mutable {
            auto result = work(token);
            guard.ifAlive([&] {
                // Checked again on arrival: stop() may have come since.
                QMetaObject::invokeMethod(
                    owner,
                    [guard, done = std::move(done), result = std::move(result)]() mutable {
                        if (guard.alive())
                            done(std::move(result));
                    },
                    Qt::QueuedConnection);
            });
        });
    }

    // Asks every job to stop and drops their results; jobs started later
    // run as usual.
    void stop()
    {
        m_stop.request_stop();
        m_stop = std::stop_source();
        m_liveness = std::make_unique<Liveness>();
    }

private:
    QObject *m_owner;
    std::stop_source m_stop;
    std::unique_ptr<Liveness> m_liveness = std::make_unique<Liveness>();
};

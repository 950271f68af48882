#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop until DONE says so or MS have passed; whether it did.
inline bool spinUntil(const std::function<bool()> &done, int ms)
{
    // The tick wakes the wait below when nothing else happens.
    QTimer tick;
    tick.start(2);
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Runs the event loop for MS.
inline void spinFor(int ms)
{
    spinUntil([] { return false; }, ms);
}

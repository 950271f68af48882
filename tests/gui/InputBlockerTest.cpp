#include "gui/InputBlocker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

TEST(InputBlockerTest, TheEventLoopRunsButInputIsDroppedWhileItLives)
{
    // A receiver that counts what reaches it.
    class Counter : public QObject {
    public:
        int keys = 0, closes = 0, timers = 0;
        bool event(QEvent *e) override
        {
            keys += e->type() == QEvent::KeyPress;
            closes += e->type() == QEvent::Close;
            return QObject::event(e);
        }
    } counter;
    const auto post = [&] {
        QCoreApplication::postEvent(&counter, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
        QCoreApplication::postEvent(&counter, new QEvent(QEvent::Close));
    };
    {
        const InputBlocker blocker;
        QTimer::singleShot(10, [&] {
            ++counter.timers;
            post();
        });
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        EXPECT_EQ(counter.timers, 1);
        EXPECT_EQ(counter.keys, 0);
        EXPECT_EQ(counter.closes, 0);
    }
    // Afterwards input arrives again.
    post();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.keys, 1);
    EXPECT_EQ(counter.closes, 1);
}

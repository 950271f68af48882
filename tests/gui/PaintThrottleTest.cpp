#include "gui/PaintThrottle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
} // namespace

TEST(PaintThrottle, PutsOffPaintsThatComeTooSoonButNeverLosesOne)
{
    CountingWidget w;
    w.resize(100, 100);
    w.show();
    spin(50);
    PaintThrottle throttle(&w, 300);
    throttle.setActive(true);
    const int before = w.paints;
    for (int i = 0; i < 20; ++i) {
        w.update();
        QCoreApplication::processEvents();
    }
    EXPECT_LE(w.paints - before, 1); // at most the first one went through
    const int burst = w.paints;
    spin(450);
    EXPECT_GT(w.paints, burst); // the deferred paint came
    const int deferred = w.paints;
    w.update();
    throttle.setActive(false);
    spin(50);
    EXPECT_GT(w.paints, deferred); // switching off paints what is pending
    for (int i = 0; i < 5; ++i) {
        w.update();
        QCoreApplication::processEvents();
    }
    EXPECT_GE(w.paints, deferred + 3); // inactive: every update paints
}

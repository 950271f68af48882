#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Limits how often a widget repaints while it is active. A sweep over hosts
// that answer within microseconds changes the list many times a
// millisecond; repainting it for each change costs far more than the pings.
// Paints that come too soon are put off, never lost: one follows at the end
// of the interval, and one when the throttle is switched off.
class PaintThrottle : public QObject {
public:
    PaintThrottle(QWidget *widget, int intervalMs);
    void setActive(bool active);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    int m_interval;
    bool m_active = false;
    QElapsedTimer m_sinceLast;
    QTimer m_deferred;
};

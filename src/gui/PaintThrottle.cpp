#include "gui/PaintThrottle.h"

#include <QEvent>
#include <QWidget>

PaintThrottle::PaintThrottle(QWidget *widget, int intervalMs)
    : QObject(widget), m_widget(widget), m_interval(intervalMs)
{
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, [this] { m_widget->update(); });
    widget->installEventFilter(this);
}

void PaintThrottle::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    m_sinceLast.invalidate();
    if (!active) {
        m_deferred.stop();
        m_widget->update();
    }
}

bool PaintThrottle::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_active || watched != m_widget || event->type() != QEvent::Paint)
        return false;
    if (m_sinceLast.isValid() && m_sinceLast.elapsed() < m_interval) {
        if (!m_deferred.isActive())
            m_deferred.start(int(m_interval - m_sinceLast.elapsed()));
        return true; // the widget keeps its last picture a moment longer
    }
    m_sinceLast.start();
    return false;
}

#include "gui/StatusPanels.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

QSize StatusBarPanel::minimumSizeHint() const
{
    // As narrow as asked: the text is shortened to fit.
    return QSize(std::min(QLabel::minimumSizeHint().width(), minimumWidth()), QLabel::minimumSizeHint().height());
}

void StatusBarPanel::paintEvent(QPaintEvent *)
{
    updateToolTip();
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(indent() > 0 ? indent() : 0, 0, 0, 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

void StatusBarPanel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

bool StatusBarPanel::event(QEvent *event)
{
    const bool handled = QLabel::event(event);
    if (event->type() == QEvent::FontChange)
        updateToolTip();
    return handled;
}

// The tooltip shows the text whole when the panel shows it shortened. The
// text is set through QLabel::setText, which is not virtual: the tooltip is
// brought up to date whenever the panel is laid out or painted, which a
// new text always causes.
void StatusBarPanel::updateToolTip()
{
    const int room = contentsRect().width() - std::max(indent(), 0);
    setToolTip(fontMetrics().horizontalAdvance(text()) > room ? text() : QString());
}

QList<int> shrinkPanels(QList<int> widths, const QList<int> &order, int excess, int least)
{
    for (const int i : order) {
        if (excess <= 0)
            break;
        if (i < 0 || i >= widths.size())
            continue;
        const int take = std::clamp(widths[i] - least, 0, excess);
        widths[i] -= take;
        excess -= take;
    }
    return widths;
}

#include "gui/LatencyChart.h"

#include "application/ChartScale.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <utility>

namespace {

constexpr int kPadding = 6; // around the chart and between its parts
constexpr int kTickLength = 4;
constexpr qreal kDotRadius = 2.5;
constexpr int kMarkWidth = 3; // a lost answer's mark
constexpr int kMarkHeight = 8;

struct SpanChoice {
    const char *text;
    qint64 ms;
};
constexpr qint64 kMinuteMs = 60 * 1000;
constexpr SpanChoice kSpans[] = {
    {"Last 10 minutes", 10 * kMinuteMs},
    {"Last hour", 60 * kMinuteMs},
    {"Last 6 hours", 6 * 60 * kMinuteMs},
    {"Last 24 hours", 24 * 60 * kMinuteMs},
};

QColor blended(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

} // namespace

LatencyChart::LatencyChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("latencyChart"));
    // Everything is painted here, the background too.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void LatencyChart::setHistory(const QString &title, std::shared_ptr<const ResultHistory> history)
{
    m_title = title;
    m_history = std::move(history);
    setAccessibleName(m_title.isEmpty() ? QStringLiteral("Round-trip times")
                                        : QStringLiteral("Round-trip times of %1").arg(m_title));
    update();
}

void LatencyChart::refresh()
{
    // A hidden chart paints when it is shown; until then a round costs it
    // nothing.
    if (isVisible())
        update();
}

void LatencyChart::setSpanMs(qint64 spanMs)
{
    m_spanMs = std::max(spanMs, ChartScale::kMinimumSpanMs);
    update();
}

QString LatencyChart::placeholderText() const
{
    if (!m_history && m_title.isEmpty())
        return QStringLiteral("Select a row to see its round-trip times");
    if (!m_history || m_history->samples().empty())
        return QStringLiteral("No results yet");
    return {};
}

QRect LatencyChart::plotRect() const
{
    const QFontMetrics fm(font());
    // Room for the widest round-trip label ("0.00", "5000") on the left,
    // the title above, the times below and half a time label on the right.
    const int left = kPadding + fm.horizontalAdvance(QStringLiteral("00000")) + kTickLength + 2;
    const int top = kPadding + fm.height() + kPadding;
    const int right = kPadding + fm.horizontalAdvance(QStringLiteral("00:00:00")) / 2;
    const int bottom = kPadding + fm.height() + kTickLength + 2;
    return rect().adjusted(left, top, -right, -bottom);
}

void LatencyChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const QColor text = pal.color(QPalette::Text);
    const QColor base = pal.color(QPalette::Base);
    p.fillRect(rect(), base);
    p.setFont(font());
    const QFontMetrics fm(font());

    const QRect titleRect(kPadding, kPadding, width() - 2 * kPadding, fm.height());
    const QString unit = QStringLiteral("round trip, ms");
    if (!m_title.isEmpty()) {
        p.setPen(text);
        p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(m_title, Qt::ElideRight, titleRect.width() - fm.horizontalAdvance(unit) - kPadding));
    }
    const QString placeholder = placeholderText();
    if (!placeholder.isEmpty()) {
        p.setPen(pal.color(QPalette::PlaceholderText));
        p.drawText(rect().adjusted(kPadding, titleRect.bottom() + kPadding, -kPadding, -kPadding),
                   Qt::AlignCenter | Qt::TextWordWrap, placeholder);
        return;
    }

    const QRect plot = plotRect();
    if (plot.width() < 10 || plot.height() < 10)
        return;
    const QRectF area(plot);
    const ChartScale scale = ChartScale::lastSpan(m_history->samples(), m_spanMs, QDateTime::currentMSecsSinceEpoch());

    // Grid and round-trip labels.
    const QColor grid = blended(base, text, 0.15);
    const QColor axis = blended(base, text, 0.5);
    for (const ChartTick &t : scale.valueTicks()) {
        const int y = qRound(scale.yOf(t.value, area));
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(text);
        p.drawText(QRect(kPadding, y - fm.height() / 2, plot.left() - kTickLength - 2 - kPadding, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, t.label);
    }
    p.setPen(pal.color(QPalette::PlaceholderText));
    p.drawText(titleRect, Qt::AlignRight | Qt::AlignVCenter, unit);

    // Time ticks, as many as their labels leave room for.
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("00:00:00")) + 2 * kPadding;
    for (const ChartTick &t : scale.timeTicks(std::max(1, plot.width() / labelWidth))) {
        const int x = qRound(scale.xOf(qint64(t.value), area));
        p.setPen(grid);
        p.drawLine(x, plot.top(), x, plot.bottom());
        p.setPen(axis);
        p.drawLine(x, plot.bottom(), x, plot.bottom() + kTickLength);
        p.setPen(text);
        const int w = fm.horizontalAdvance(t.label);
        p.drawText(QRect(x - w / 2 - 1, plot.bottom() + kTickLength + 1, w + 2, fm.height()), Qt::AlignCenter, t.label);
    }
    p.setPen(axis);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.topLeft(), plot.bottomLeft());

    // The samples: lines and dots of the replies, then the marks.
    const ChartSeries series = scale.series(area);
    const QColor lineColour = pal.color(QPalette::Highlight);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(lineColour, 1.5));
    for (const std::vector<QPointF> &line : series.lines)
        p.drawPolyline(line.data(), int(line.size()));
    p.setPen(Qt::NoPen);
    p.setBrush(lineColour);
    for (const std::vector<QPointF> &line : series.lines)
        for (const QPointF &point : line)
            p.drawEllipse(point, kDotRadius, kDotRadius);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const ChartSeries::Mark &mark : series.losses)
        p.fillRect(
            QRect(qRound(mark.at.x()) - kMarkWidth / 2, plot.bottom() - kMarkHeight + 1, kMarkWidth, kMarkHeight),
            mark.hostUp ? upWithoutEchoColour() : lossColour());
}

void LatencyChart::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void LatencyChart::contextMenuEvent(QContextMenuEvent *event)
{
    // Shown without a loop of its own (see CONTRIBUTING.md, "Waiting"); it
    // goes when it closes.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto *group = new QActionGroup(menu);
    for (const SpanChoice &span : kSpans) {
        QAction *action = menu->addAction(QString::fromLatin1(span.text));
        action->setCheckable(true);
        action->setChecked(span.ms == m_spanMs);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, ms = span.ms] { setSpanMs(ms); });
    }
    menu->popup(event->globalPos());
}

#pragma once

#include "resources/ResultHistory.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <QtGlobal>

#include <memory>

class QContextMenuEvent;
class QEvent;
class QPaintEvent;

// One row's round-trip times over the last hour (or the whole history when
// it is shorter): the replies as a line with dots, the lost answers as red
// marks on the bottom edge, painted here in the palette and font of the
// rest of the window. Its context menu chooses a longer or shorter span.
class LatencyChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultSpanMs = 60LL * 60 * 1000;

    explicit LatencyChart(QWidget *parent = nullptr);
    // The row to chart: its title (the Resource cell) and its history; null: nothing selected.
    // A row not tested yet has a title and no history: "No results yet".
    void setHistory(const QString &title, std::shared_ptr<const ResultHistory> history);
    // The history gained samples: repaint (cheaply; called after every round).
    void refresh();

    // How far back from the newest sample the chart looks.
    qint64 spanMs() const { return m_spanMs; }
    void setSpanMs(qint64 spanMs);
    // What the chart says in place of a chart; empty while it draws one.
    QString placeholderText() const;
    // Where the samples are drawn.
    QRect plotRect() const;

    // A lost answer's mark, red on light and dark themes alike; a host a
    // probe proved up though its echo got no answer is marked in amber.
    static QColor lossColour() { return QColor(220, 40, 40); }
    static QColor upWithoutEchoColour() { return QColor(230, 150, 0); }

    QSize sizeHint() const override { return {400, 200}; }
    QSize minimumSizeHint() const override { return {200, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString m_title;
    std::shared_ptr<const ResultHistory> m_history;
    qint64 m_spanMs = kDefaultSpanMs;
};

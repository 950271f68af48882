#pragma once

#include <QLabel>
#include <QList>

// A panel of the status bar. A text wider than the panel is shortened with
// an ellipsis, and the whole text is its tooltip.
class StatusBarPanel : public QLabel {
public:
    explicit StatusBarPanel(QWidget *parent = nullptr) : QLabel(parent) {}
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void updateToolTip();
};

// Takes EXCESS pixels from the panels WIDTHS, from the panels in ORDER one
// after another (the first given up first), none below LEAST; returns the
// new widths. What cannot be taken is left.
QList<int> shrinkPanels(QList<int> widths, const QList<int> &order, int excess, int least);

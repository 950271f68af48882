#pragma once

#include <QAbstractSpinBox>

// A whole-number edit with spin buttons and no bounds. Typing accepts only
// "+", "-" and digits (anything else beeps); the buttons and the Up and Down
// keys add or subtract the step; a text that is not an integer counts as 0.
class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    int value() const;
    // The typed number, for a range check before it is narrowed to an int.
    qint64 wideValue() const;
    void setValue(int value);
    int increment() const { return m_increment; }
    void setIncrement(int step) { m_increment = step; }

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    StepEnabled stepEnabled() const override;

private:
    int m_increment = 1;
};

#include "gui/SpinEdit.h"

#include "application/FormStorage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace {

bool allowedText(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char('+') || c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    });
}

} // namespace

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setFixedWidth(73);
    setValue(0);
}

int TSpinEdit::value() const { return textToInt(lineEdit()->text()); }
qint64 TSpinEdit::wideValue() const { return textToWideInt(lineEdit()->text()); }

void TSpinEdit::setValue(int value) { lineEdit()->setText(QString::number(value)); }

void TSpinEdit::stepBy(int steps)
{
    // Wide arithmetic, so that a step past the end of int stops at the end.
    const long long next = (long long)value() + (long long)steps * m_increment;
    setValue(int(std::clamp<long long>(next, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    selectAll();
}

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    return allowedText(input) ? QValidator::Acceptable : QValidator::Invalid;
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const { return StepUpEnabled | StepDownEnabled; }

void TSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool control = typed.isEmpty() || typed.at(0).category() == QChar::Other_Control
                         || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!control && !allowedText(typed)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

#include "gui/EventLog.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

EventLog::EventLog(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("evEvents"));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(kMaxLines);
}

void EventLog::addLine(const QString &line)
{
    // The view follows the newest line unless the user scrolled back to read.
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    appendPlainText(line);
    if (atEnd)
        bar->setValue(bar->maximum());
}

QStringList EventLog::lines() const
{
    QStringList out;
    if (document()->isEmpty())
        return out;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

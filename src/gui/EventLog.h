#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// The monitor's alerts, one line each, newest last. Only the last
// kMaxLines are kept: a host that flaps all week must not fill the memory.
class EventLog : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 1000;

    explicit EventLog(QWidget *parent = nullptr);
    void addLine(const QString &line);
    QStringList lines() const;
};

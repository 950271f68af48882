#pragma once

#include "gui/RemotePrompts.h"

#include <QStringList>

// Answers the remote commands' boxes in the user's place and keeps what
// they would have shown.
class FakeRemotePrompts : public RemotePrompts {
public:
    std::optional<QString> text; // nothing: Cancel
    int asked = 0;
    QStringList times, errors;
    std::optional<QString> messageText(QWidget *) override
    {
        ++asked;
        return text;
    }
    void showSystemTime(QWidget *, const QString &t) override { times << t; }
    void showTimeError(QWidget *, const QString &t) override { errors << t; }
};

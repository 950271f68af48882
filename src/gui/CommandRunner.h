#pragma once

#include <QString>
#include <functional>

class QWidget;
class UserPrompts;

// The text of the general error box: the message with a full stop appended
// unless it already ends in one.
QString errorBoxText(const QString &message);

// Runs one command. A failure it raises is shown in the general error box
// and the program goes on: Qt does not let exceptions cross its event loop.
void runCommand(UserPrompts &prompts, QWidget *parent, const std::function<void()> &command);

#pragma once

#include <QString>
#include <functional>

// What a failing information-gathering step does: raise a new failure that
// names the step, report it and go on, or go on silently.
enum TExceptionMode {
    emRaise,
    emMessage,
    emSilent
};

// Where emMessage reports go: a function showing the text to the user. The
// widget layer puts a message box here; without one the text is written as
// a line to standard output, as a console program would.
using GuardedMessageSink = std::function<void(const QString &text)>;
void setGuardedMessageSink(GuardedMessageSink sink);

// Runs one GetInfo step of a system-information object. `name` is the
// object's class name followed by ".GetInfo". A failure of the step becomes
// the text name + ": " + its message, handled as `mode` says.
void CallGuarded(const QString &name, TExceptionMode mode, const std::function<void()> &step);

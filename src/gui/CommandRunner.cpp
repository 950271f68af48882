#include "gui/CommandRunner.h"

#include "base/Exception.h"
#include "gui/UserPrompts.h"

#include <exception>
#include <new>

QString errorBoxText(const QString &message)
{
    if (message.endsWith(QLatin1Char('.')))
        return message;
    return message + QLatin1Char('.');
}

void runCommand(UserPrompts &prompts, QWidget *parent, const std::function<void()> &command)
{
    QString failure;
    try {
        command();
        return;
    } catch (const Exception &e) {
        failure = e.message();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    prompts.showError(parent, errorBoxText(failure));
}
